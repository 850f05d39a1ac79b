#pragma once

#include "ui/FormPresenter.h"
#include "win32/EditContextMenu.h"
#include "win32/LabelFonts.h"

#include <windows.h>

#include <string>

namespace zorflash {

class CStatusBarWindow;

// The main form (template 101) as a child dialog of the frame: it creates the controls,
// shows what its presenter says and hands on what the operator did, and it is the window
// the update's worker wakes (log changes), asks (the disk prompt, the error box, sent to
// the window thread) and posts WM_UPDATE_FINISHED to. It holds no rule of the form.
class CFormWindow : public IFormView {
public:
    // Private messages of the hand-over between the worker and the window thread.
    static constexpr UINT kStatusLogPosted = WM_APP + 1;
    static constexpr UINT kRunTask = WM_APP + 2;

    CFormWindow(UpdateSettings& record, Language language, CStatusBarWindow& statusBar);
    ~CFormWindow() override;
    CFormWindow(const CFormWindow&) = delete;
    CFormWindow& operator=(const CFormWindow&) = delete;

    bool Create(HWND frame);
    HWND Handle() const { return m_hwnd; }
    CFormPresenter& Presenter() { return m_presenter; }
    // The form's keyboard: Tab, arrows, Enter and Esc between its controls.
    bool TakeDialogKey(MSG& message) { return m_hwnd && ::IsDialogMessageW(m_hwnd, &message); }
    // The window is going: an update still running is served to its end first.
    void Shutdown();

    // IFormView
    void ShowModelList(const std::vector<std::string>& names) override;
    void ShowModelSelection(int index) override;
    void ShowFileName(const std::string& name) override;
    void ShowHeaderPreview(const std::string& text) override;
    void ShowLinkSummary(const std::string& text) override;
    void ShowStatusText(const StatusBoxText& status) override;
    void EnableStart(bool enabled) override;
    void LockForUpdate(bool updating) override;
    void ShowProgress(const ProgressState& state) override;
    std::string ChooseUpdateFile(const std::string& filter) override;
    void RunSettingsDialog() override;
    bool ShowMessage(MessageIcon icon, const std::string& caption, const std::string& text,
                     MessageButtons buttons) override;
    void StartTimer(FormTimer timer, int milliseconds) override;
    void StopTimer(FormTimer timer) override;
    void PostStatusLogChanged() override;
    void PostUpdateFinished() override;
    void RunOnWindowThread(const std::function<void()>& task) override;

private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnCommand(int id, int code);
    HWND Control(int id) const { return GetDlgItem(m_hwnd, id); }

    CStatusBarWindow& m_statusBar;
    HWND m_hwnd = nullptr;
    CEditContextMenu m_editMenu;
    CLabelFonts m_labelFonts;
    // What the status box holds, as UTF-16, so a change rewrites only from where it differs.
    std::wstring m_shownStatus;
    // Last: the presenter calls back into everything above from its first display on.
    CFormPresenter m_presenter;
};

}  // namespace zorflash
