#pragma once

#include <QFrame>

#include <array>
#include <cstdint>

class QLabel;
class QLineEdit;

namespace zorflash {

// An IPv4 address in four parts of 0..255, typed the way operators type addresses into
// the platform's address control: three digits move on to the next part; a "." or blank
// typed right after that move does nothing (it was the operator's own separator); moving
// into a part selects its text, so what is typed next replaces it; Backspace at the start
// of a part goes back; Home, End and the arrows work across the parts; a pasted dotted
// address fills all four parts; a value over 255 becomes 255 with a tip that says why.
// A blank part reads as 0.
class CIPAddressCtrl : public QFrame {
    Q_OBJECT
public:
    explicit CIPAddressCtrl(QWidget* parent = nullptr);

    // First part in the most significant byte.
    void SetAddress(uint32_t address);
    // Stores the address (blank parts as 0) and answers how many parts are not blank.
    int GetAddress(uint32_t& address) const;
    void ClearAddress();
    // A dotted address fills all four parts; digits alone go into the part at the caret.
    void Paste(int index, const QString& text);

    QLineEdit* Field(int index) const { return m_fields.at(static_cast<size_t>(index)); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int IndexOf(const QObject* field) const;
    bool OnFieldKey(int index, class QKeyEvent* key);
    void OnFieldEdited(int index);
    void EnterField(int index);
    void ClampField(int index);

    std::array<QLineEdit*, 4> m_fields{};
    std::array<QLabel*, 3> m_dots{};
    // The part entered by the automatic move after a third digit; a separator typed next
    // belongs to the part just finished, not to this one. -1 when no such move is pending.
    int m_autoEntered = -1;
    // A click that brings the focus into a part selects the whole part, so the digits
    // typed next replace it wherever the click landed.
    int m_clickEntering = -1;
};

}  // namespace zorflash
