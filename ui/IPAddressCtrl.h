#pragma once

#include <QFrame>

#include <array>
#include <cstdint>

class QLineEdit;

// An IPv4 address in four fields of 0..255. A blank field reads as 0; a number above 255
// is cut to 255 as it is typed; a full field, "." or a blank moves on to the next field.
class CIPAddressCtrl : public QFrame {
    Q_OBJECT
public:
    explicit CIPAddressCtrl(QWidget* parent = nullptr);

    // First field in the most significant byte.
    void SetAddress(uint32_t address);
    // Stores the address (blank fields as 0) and answers how many fields are not blank.
    int GetAddress(uint32_t& address) const;
    void ClearAddress();

    QLineEdit* Field(int index) const { return m_fields.at(static_cast<size_t>(index)); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void OnFieldEdited(int index);
    void FocusField(int index, bool atStart);

    std::array<QLineEdit*, 4> m_fields{};
    std::array<class QLabel*, 3> m_dots{};
};
