#pragma once

#include "ui/SettingsView.h"

namespace zorflash {

class CFormPresenter;

// The communication settings dialog's rules: it opens on the record (transport, what the
// model allows, address, port in decimal, fast mode), TCP/IP unlocks the address and the
// port and USB locks them, and only OK stores, never while an update runs. Cancel, Esc
// and the close box change nothing, so they need no call.
class CSettingsPresenter {
public:
    // form: the main form's presenter, whose record the dialog edits.
    CSettingsPresenter(ISettingsView& view, CFormPresenter& form);

    // The dialog has its controls: show the record in them.
    void OnInitDialog();
    void OnTcpIpClicked();
    void OnUsbClicked();
    // OK: the controls into the record (unless an update runs). The view then closes.
    void OnOk();

private:
    ISettingsView& m_view;
    CFormPresenter& m_form;
};

}  // namespace zorflash
