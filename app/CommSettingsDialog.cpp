#include "app/CommSettingsDialog.h"

#include "app/DialogBuilder.h"
#include "app/IPAddressCtrl.h"
#include "app/UiStrings.h"
#include "app/ZorflashView.h"
#include "resources/ui/DialogTemplate.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace zorflash {

CCommSettingsDialog::CCommSettingsDialog(CZorflashView* view)
    : QDialog(view->window())
    , m_presenter(*this, view->Presenter())
{
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    const DialogTemplate* dialog = FindDialogTemplate(kIddCommSettings, UiLanguage());
    CDialogBuilder(*dialog).Build(this);

    m_tcpIp = qobject_cast<QRadioButton*>(FindControl(this, kIdcTcpIp));
    m_usb = qobject_cast<QRadioButton*>(FindControl(this, kIdcUsb));
    m_fastTransfer = qobject_cast<QCheckBox*>(FindControl(this, kIdcFastTransfer));
    m_ipAddress = qobject_cast<CIPAddressCtrl*>(FindControl(this, kIdcIpAddress));
    m_portBox = qobject_cast<QLineEdit*>(FindControl(this, kIdcPort));

    connect(m_tcpIp, &QRadioButton::clicked, this, [this] { m_presenter.OnTcpIpClicked(); });
    connect(m_usb, &QRadioButton::clicked, this, [this] { m_presenter.OnUsbClicked(); });
    connect(qobject_cast<QPushButton*>(FindControl(this, kIdOk)), &QPushButton::clicked, this, &QDialog::accept);
    connect(qobject_cast<QPushButton*>(FindControl(this, kIdCancel)), &QPushButton::clicked, this, &QDialog::reject);

    m_presenter.OnInitDialog();
}

void CCommSettingsDialog::ShowControls(const CommSettingsControls& controls)
{
    m_tcpIp->setChecked(controls.tcpChecked);
    m_usb->setChecked(controls.usbChecked);
    EnableAddress(controls.addressEnabled);
    m_tcpIp->setEnabled(controls.tcpEnabled);
    m_usb->setEnabled(controls.usbEnabled);
    m_ipAddress->SetAddress(controls.address);
    m_portBox->setText(QString::fromStdString(controls.portText));
    m_fastTransfer->setChecked(controls.fastChecked);
}

CommSettingsControls CCommSettingsDialog::ReadControls() const
{
    CommSettingsControls controls;
    controls.tcpChecked = m_tcpIp->isChecked();
    controls.usbChecked = m_usb->isChecked();
    controls.tcpEnabled = m_tcpIp->isEnabled();
    controls.usbEnabled = m_usb->isEnabled();
    controls.addressEnabled = m_ipAddress->isEnabled();
    m_ipAddress->GetAddress(controls.address);
    controls.portText = m_portBox->text().toStdString();
    controls.fastChecked = m_fastTransfer->isChecked();
    return controls;
}

void CCommSettingsDialog::EnableAddress(bool enabled)
{
    m_ipAddress->setEnabled(enabled);
    m_portBox->setEnabled(enabled);
}

void CCommSettingsDialog::accept()
{
    m_presenter.OnOk();
    QDialog::accept();
}

}  // namespace zorflash
