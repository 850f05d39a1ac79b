#pragma once

#include "ui/CommSettingsRules.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QRadioButton;

namespace zorflash {

class CIPAddressCtrl;
class CZorflashView;

// How the instrument is reached: TCP/IP with address and port, or USB, and fast mode.
// It reads the record when it opens and writes it only on OK; Cancel, Esc and the close
// box change nothing.
class CCommSettingsDialog : public QDialog {
    Q_OBJECT
public:
    explicit CCommSettingsDialog(CZorflashView* view);

    void OnTcpIpClicked();
    void OnUsbClicked();

    // The controls' state in the form the store rule reads.
    CommSettingsControls GetControls() const;

public slots:
    void accept() override;

private:
    void LoadControls(const CommSettingsControls& controls);

    CZorflashView* m_pView;
    QCheckBox* m_fastTransfer = nullptr;  // 1010
    QLineEdit* m_portBox = nullptr;       // 1013
    CIPAddressCtrl* m_ipAddress = nullptr;  // 1012
    QRadioButton* m_tcpIp = nullptr;      // 1008
    QRadioButton* m_usb = nullptr;        // 1009
};

}  // namespace zorflash
