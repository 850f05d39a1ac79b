#pragma once

#include "ui/SettingsPresenter.h"
#include "ui/SettingsView.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QRadioButton;

namespace zorflash {

class CIPAddressCtrl;
class CZorflashView;

// How the instrument is reached: TCP/IP with address and port, or USB, and fast mode.
// The controls of template 130; what they load and store, and when, its presenter
// (CSettingsPresenter) decides.
class CCommSettingsDialog : public QDialog, public ISettingsView {
    Q_OBJECT
public:
    explicit CCommSettingsDialog(CZorflashView* view);

    // ISettingsView
    void ShowControls(const CommSettingsControls& controls) override;
    CommSettingsControls ReadControls() const override;
    void EnableAddress(bool enabled) override;

public slots:
    void accept() override;

private:
    QCheckBox* m_fastTransfer = nullptr;  // 1010
    QLineEdit* m_portBox = nullptr;       // 1013
    CIPAddressCtrl* m_ipAddress = nullptr;  // 1012
    QRadioButton* m_tcpIp = nullptr;      // 1008
    QRadioButton* m_usb = nullptr;        // 1009
    CSettingsPresenter m_presenter;
};

}  // namespace zorflash
