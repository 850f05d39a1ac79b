#include "app/CommSettingsDialog.h"

#include "platform/StringResource.h"
#include "app/UiStrings.h"
#include "resources/ui/DialogTemplate.h"
#include "app/DialogBuilder.h"
#include "app/IPAddressCtrl.h"
#include "app/ZorflashView.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace zorflash {

CCommSettingsDialog::CCommSettingsDialog(CZorflashView* view)
    : QDialog(view ? view->window() : nullptr)
    , m_pView(view)
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

    connect(m_tcpIp, &QRadioButton::clicked, this, [this] { OnTcpIpClicked(); });
    connect(m_usb, &QRadioButton::clicked, this, [this] { OnUsbClicked(); });
    connect(qobject_cast<QPushButton*>(FindControl(this, kIdOk)), &QPushButton::clicked, this, &QDialog::accept);
    connect(qobject_cast<QPushButton*>(FindControl(this, kIdCancel)), &QPushButton::clicked, this, &QDialog::reject);

    LoadControls(LoadCommSettings(m_pView->GetRecord()));
}

void CCommSettingsDialog::LoadControls(const CommSettingsControls& controls)
{
    m_tcpIp->setChecked(controls.tcpChecked);
    m_usb->setChecked(controls.usbChecked);
    m_ipAddress->setEnabled(controls.addressEnabled);
    m_portBox->setEnabled(controls.addressEnabled);
    m_tcpIp->setEnabled(controls.tcpEnabled);
    m_usb->setEnabled(controls.usbEnabled);
    m_ipAddress->SetAddress(controls.address);
    m_portBox->setText(QString::fromStdString(controls.portText));
    m_fastTransfer->setChecked(controls.fastChecked);
}

CommSettingsControls CCommSettingsDialog::GetControls() const
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

void CCommSettingsDialog::OnTcpIpClicked()
{
    m_ipAddress->setEnabled(true);
    m_portBox->setEnabled(true);
}

void CCommSettingsDialog::OnUsbClicked()
{
    m_ipAddress->setEnabled(false);
    m_portBox->setEnabled(false);
}

void CCommSettingsDialog::accept()
{
    // The record is read by a running update without a lock; the form keeps this dialog
    // closed while one runs, and this refusal makes sure of it.
    if (!m_pView->IsUpdating())
        StoreCommSettings(GetControls(), m_pView->GetRecord());
    QDialog::accept();
}

}  // namespace zorflash
