#include "win32/SettingsDialogWindow.h"

#include "platform/win32/WideText.h"
#include "resources/ui/DialogTemplate.h"
#include "ui/FormPresenter.h"
#include "win32/DialogTemplateBuilder.h"

#include <commctrl.h>

namespace zorflash {

CSettingsDialogWindow::CSettingsDialogWindow(CFormPresenter& form)
    : m_form(form)
    , m_presenter(*this, form)
{
}

void CSettingsDialogWindow::Run(HWND owner)
{
    m_layout = FindDialogTemplate(kIddCommSettings, m_form.GetLanguage());
    if (!m_layout)
        return;
    const CDialogTemplateBuilder builder(*m_layout, CDialogTemplateBuilder::Frame::Modal);
    DialogBoxIndirectParamW(GetModuleHandleW(nullptr), builder.Get(), owner, DialogProc,
                            reinterpret_cast<LPARAM>(this));
    m_hwnd = nullptr;
}

INT_PTR CALLBACK CSettingsDialogWindow::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        auto* self = reinterpret_cast<CSettingsDialogWindow*>(lParam);
        self->m_hwnd = dialog;
        self->m_labelFonts.Fit(dialog, *self->m_layout);
        self->m_addressFields.Attach(self->Control(kIdcIpAddress));
        self->m_presenter.OnInitDialog();
        return TRUE;  // the focus on the first control that takes it
    }
    auto* self = reinterpret_cast<CSettingsDialogWindow*>(GetWindowLongPtrW(dialog, DWLP_USER));
    return self ? self->OnMessage(message, wParam, lParam) : FALSE;
}

INT_PTR CSettingsDialogWindow::OnMessage(UINT message, WPARAM wParam, LPARAM)
{
    if (message != WM_COMMAND)
        return FALSE;
    const int id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    switch (id) {
    case kIdcTcpIp:
        if (code == BN_CLICKED)
            m_presenter.OnTcpIpClicked();
        return TRUE;
    case kIdcUsb:
        if (code == BN_CLICKED)
            m_presenter.OnUsbClicked();
        return TRUE;
    case IDOK:
        m_presenter.OnOk();
        EndDialog(m_hwnd, IDOK);
        return TRUE;
    case IDCANCEL:
        EndDialog(m_hwnd, IDCANCEL);
        return TRUE;
    default:
        return FALSE;
    }
}

void CSettingsDialogWindow::ShowControls(const CommSettingsControls& controls)
{
    CheckDlgButton(m_hwnd, kIdcTcpIp, controls.tcpChecked ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(m_hwnd, kIdcUsb, controls.usbChecked ? BST_CHECKED : BST_UNCHECKED);
    EnableWindow(Control(kIdcTcpIp), controls.tcpEnabled);
    EnableWindow(Control(kIdcUsb), controls.usbEnabled);
    SendMessageW(Control(kIdcIpAddress), IPM_SETADDRESS, 0, static_cast<LPARAM>(controls.address));
    SetDlgItemTextW(m_hwnd, kIdcPort, WideFromUtf8(controls.portText).c_str());
    CheckDlgButton(m_hwnd, kIdcFastTransfer, controls.fastChecked ? BST_CHECKED : BST_UNCHECKED);
    EnableAddress(controls.addressEnabled);
}

CommSettingsControls CSettingsDialogWindow::ReadControls() const
{
    CommSettingsControls controls;
    controls.tcpChecked = IsDlgButtonChecked(m_hwnd, kIdcTcpIp) == BST_CHECKED;
    controls.usbChecked = IsDlgButtonChecked(m_hwnd, kIdcUsb) == BST_CHECKED;
    controls.tcpEnabled = IsWindowEnabled(Control(kIdcTcpIp)) != FALSE;
    controls.usbEnabled = IsWindowEnabled(Control(kIdcUsb)) != FALSE;
    controls.addressEnabled = IsWindowEnabled(Control(kIdcIpAddress)) != FALSE;
    DWORD address = 0;
    SendMessageW(Control(kIdcIpAddress), IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&address));
    controls.address = address;
    HWND port = Control(kIdcPort);
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(port)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(port, text.data(), static_cast<int>(text.size()))));
    controls.portText = Utf8FromWide(text);
    controls.fastChecked = IsDlgButtonChecked(m_hwnd, kIdcFastTransfer) == BST_CHECKED;
    return controls;
}

void CSettingsDialogWindow::EnableAddress(bool enabled)
{
    EnableWindow(Control(kIdcIpAddress), enabled);
    EnableWindow(Control(kIdcPort), enabled);
}

}  // namespace zorflash
