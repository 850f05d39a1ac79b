#pragma once

#include "ui/SettingsPresenter.h"
#include "win32/IpAddressFields.h"
#include "win32/LabelFonts.h"

#include <windows.h>

namespace zorflash {

class CFormPresenter;

// The communication settings dialog (template 130), modal, with the platform's own IP
// address control and the port box. It shows what its presenter loads, hands on the
// radio buttons and OK, and reads its controls back when asked.
class CSettingsDialogWindow : public ISettingsView {
public:
    explicit CSettingsDialogWindow(CFormPresenter& form);
    CSettingsDialogWindow(const CSettingsDialogWindow&) = delete;
    CSettingsDialogWindow& operator=(const CSettingsDialogWindow&) = delete;

    // Returns once the operator has closed the dialog.
    void Run(HWND owner);

    // ISettingsView
    void ShowControls(const CommSettingsControls& controls) override;
    CommSettingsControls ReadControls() const override;
    void EnableAddress(bool enabled) override;

private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    HWND Control(int id) const { return GetDlgItem(m_hwnd, id); }

    CFormPresenter& m_form;
    HWND m_hwnd = nullptr;
    CIpAddressFields m_addressFields;
    CLabelFonts m_labelFonts;
    const DialogTemplate* m_layout = nullptr;
    CSettingsPresenter m_presenter;
};

}  // namespace zorflash
