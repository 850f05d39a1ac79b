#pragma once

#include "ui/ProgressState.h"

#include <functional>
#include <string>
#include <vector>

namespace zorflash {

enum class MessageIcon { Information, Warning };
enum class MessageButtons { Ok, OkCancel };

// The form's two clocks: the status box is redrawn at most every few tens of
// milliseconds, the status bar a few times a second.
enum class FormTimer { StatusLog = 1, Progress = 2 };

// The status box as the edit control holds it: lines end in CR LF, the caret is a byte
// offset into the UTF-8 text, and caretLine/caretColumn say where that is (line number
// from 0, bytes into that line) for views that scroll by line.
struct StatusBoxText {
    std::string text;
    int caret = 0;
    int caretLine = 0;
    int caretColumn = 0;
};

// The main form as its presenter (CFormPresenter) sees it: controls to show values in,
// modal requests to the operator, two timers and the hand-over between the update's
// worker thread and the window thread. A Qt widget and a Win32 dialog implement it; they
// hold no rule of their own. All texts are UTF-8. Unless said otherwise a member is called
// on the window thread only.
class IFormView {
public:
    virtual ~IFormView() = default;

    // ---- what the form shows
    // The model list's entries; list position n is model table row n.
    virtual void ShowModelList(const std::vector<std::string>& names) = 0;
    virtual void ShowModelSelection(int index) = 0;
    // The chosen file's name (without its folder), shown from its first character.
    virtual void ShowFileName(const std::string& name) = 0;
    // The header preview, lines separated by LF (never CR LF), ready to show as it is.
    virtual void ShowHeaderPreview(const std::string& text) = 0;
    virtual void ShowLinkSummary(const std::string& text) = 0;
    // The status box's whole text; the view shows it and scrolls the caret into view.
    virtual void ShowStatusText(const StatusBoxText& status) = 0;
    virtual void EnableStart(bool enabled) = 0;
    // While an update runs nothing may change the record or start a second update: the
    // model list, Browse and Settings are disabled (the frame's commands follow through
    // CFramePresenter). The view may also tell others (a Qt signal).
    virtual void LockForUpdate(bool updating) = 0;
    // The status bar's progress display, wherever the view keeps it.
    virtual void ShowProgress(const ProgressState& state) = 0;

    // ---- requests that wait for the operator
    // The open-file dialog. filter is in the string table's form
    // "Update File (*.R71)|*.R71|All Files (*.*)|*.*||" (first entry chosen at open;
    // "*.*" means every file). Returns the chosen path in the file system's encoding
    // (UTF-8), or an empty text when the operator cancelled.
    virtual std::string ChooseUpdateFile(const std::string& filter) = 0;
    // The communication settings dialog, modal; the dialog's own CSettingsPresenter reads
    // and writes the record. Returns once it is closed.
    virtual void RunSettingsDialog() = 0;
    // A message box owned by the form. An empty caption shows no caption (the disk
    // prompt). True when the operator answered OK.
    virtual bool ShowMessage(MessageIcon icon, const std::string& caption, const std::string& text,
                             MessageButtons buttons) = 0;

    // ---- clocks
    // Starts (or restarts) a repeating timer; each tick calls CFormPresenter::OnTimer(timer)
    // on the window thread until StopTimer.
    virtual void StartTimer(FormTimer timer, int milliseconds) = 0;
    virtual void StopTimer(FormTimer timer) = 0;

    // ---- the worker thread's hand-over; these three are called on the update worker
    // thread, never on the window thread
    // Wake the window thread without waiting: it then calls
    // CFormPresenter::OnStatusLogPosted() (Qt: a posted event; Win32: PostMessage).
    virtual void PostStatusLogChanged() = 0;
    // Message 1125 without waiting: the window thread then calls
    // CFormPresenter::OnUpdateFinished() (Qt: a posted event of type 1125; Win32:
    // PostMessage(WM_UPDATE_FINISHED)). The worker's last call.
    virtual void PostUpdateFinished() = 0;
    // Runs task on the window thread and returns when it has run (Qt: a blocking queued
    // call; Win32: SendMessage to the form). The disk prompt and the error report come
    // this way.
    virtual void RunOnWindowThread(const std::function<void()>& task) = 0;
};

}  // namespace zorflash
