#pragma once

#include "platform/EditText.h"
#include "present/LinkWatch.h"
#include "resources/strings/Language.h"
#include "ui/FormView.h"
#include "ui/LogMailbox.h"
#include "ui/StatusBarProgress.h"
#include "update/UpdateHost.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace zorflash {

class CFramePresenter;

// Everything the main form decides, apart from any toolkit: the model choice, the chosen
// file with its preview, the link summary, when Start is enabled and what is locked while
// an update runs, the update's worker, the status box and the status bar. It is the
// update's host (CUpdateHost): the worker thread reads the settings copied at Start, leaves
// the log in a mailbox and asks the view to wake the window thread; only the disk prompt
// and the error report wait, on the window thread, for the operator.
//
// The view (IFormView) owns its presenter, calls the On... members when the operator acts
// or a timer or posted message arrives, and calls Shutdown before it goes.
class CFormPresenter : public CUpdateHost {
public:
    static constexpr unsigned kUpdateFinishedMessage = WM_UPDATE_FINISHED;  // 1125

    // record: the document's settings record, which the form edits and the update copies.
    // language: the application's, for the form's texts and the update's status text.
    CFormPresenter(IFormView& view, UpdateSettings& record, Language language);
    ~CFormPresenter() override;
    CFormPresenter(const CFormPresenter&) = delete;
    CFormPresenter& operator=(const CFormPresenter&) = delete;

    // ---- what the operator did (window thread)
    // First display (also after New): the model list filled afresh from the table, row 0
    // chosen, the link summary and the idle status bar shown. Refused while updating.
    void OnInitialUpdate();
    // A model chosen from the list (or by a program): the record takes it with its link
    // rule. Refused while updating and for an index outside the table.
    void SelectModel(int index);
    // Browse: asks the view for a file with the model's filter, then as OnFileChosen.
    void OnBrowse();
    // A file chosen by Browse or dropped on the window (UTF-8 path). A file that can be
    // read becomes the record's file, its name and preview are shown and Start is
    // enabled. A file that cannot be read (missing, a folder, a pipe, a device, a read
    // error) changes nothing, name, preview, record and Start stay as they were, and one
    // message says why. Refused while updating.
    void OnFileChosen(const std::string& path);
    // Settings: the dialog, then the link summary again. Refused while updating.
    void OnSettings();
    // Start: copies the record, locks the form, starts the worker. Refused while updating
    // and until a file has been chosen.
    void OnStart();
    // The link summary again, after the record's link was set from outside the form.
    void ShowLinkSummary();

    // ---- what the view hands on (window thread)
    void OnStatusLogPosted();   // after IFormView::PostStatusLogChanged (the worker's wake-up)
    void OnUpdateFinished();    // after IFormView::PostUpdateFinished (message 1125)
    void OnTimer(FormTimer timer);

    // The view is about to go. A worker still running gets Cancel for its prompt and no
    // error box; serveWindowThread is called repeatedly (it should handle the window
    // thread's pending events for a moment, Qt: processEvents; Win32: a message loop
    // turn) until the worker has said its last word, then the worker is joined.
    void Shutdown(const std::function<void()>& serveWindowThread);

    // ---- state for views, the frame and tests
    bool IsUpdating() const { return m_updating; }
    UpdateSettings& GetRecord() const { return m_record; }
    Language GetLanguage() const { return m_language; }
    // How the last update ended, once its finished message has arrived.
    const UpdateResult& LastResult() const { return m_lastResult; }
    // The status box's text as the update wrote it (CR LF line ends).
    std::string GetStatusText() const { return m_statusText.GetText(); }
    // The frame that follows the lock and the title percent; null for none.
    void SetFramePresenter(CFramePresenter* frame) { m_frame = frame; }

    // ---- CUpdateHost, called on the update worker thread (OnStatusLogChanged also on
    // the window thread, which then shows the log at once)
    const UpdateSettings& Settings() const override { return m_runSettings; }
    Language StatusLanguage() const override { return m_runLanguage; }
    void OnStatusLogChanged(const CEditText& log, const LogChange& change) override;
    bool PromptOkCancel(const std::string& text, const VolumeRefusal& refusal) override;
    void ReportError(const std::string& text) override;
    void PostUpdateFinished(const UpdateResult& result) override;
    void OnProgress(const UpdateProgress& progress) override;
    CLinkObserver* GetLinkObserver() override { return &m_linkWatch; }

    // The status box is redrawn at most this often; changes in between merge.
    static constexpr int kLogRedrawMs = 40;
    static constexpr int kProgressRedrawMs = 100;

private:
    void SetUpdating(bool updating);
    void ShowPendingLog();
    void ShowStatusLog(const std::string& text, int caret);
    void ShowProgress(const ProgressState& state);
    void ShowProgressNow();
    void ShowFileNote();
    std::vector<std::string> FailureStory() const;
    void ReportException(const std::string& text);
    bool OnWindowThread() const { return std::this_thread::get_id() == m_windowThread; }

    IFormView& m_view;
    UpdateSettings& m_record;
    Language m_language;
    CFramePresenter* m_frame = nullptr;
    const std::thread::id m_windowThread = std::this_thread::get_id();

    bool m_updating = false;
    bool m_startEnabled = false;
    bool m_started = false;  // an update has been started since the form was made
    // The chosen file's preview as read, for the word on it when the model changes.
    std::string m_chosenPreview;
    bool m_fileChosen = false;
    // What the status box shows, window thread only; the job owns the log itself.
    CEditText m_statusText;
    // The one thing both threads touch, and it has its own lock.
    CLogMailbox m_logMailbox;
    bool m_logTimerRunning = false;
    std::chrono::steady_clock::time_point m_lastLogRedraw{};

    // The record and language of the running update: copied at Start, read by the
    // worker, written again only after its finished message.
    UpdateSettings m_runSettings;
    Language m_runLanguage = Language::English;
    std::thread m_worker;
    // Written by the worker before it posts message 1125, read after it arrives.
    std::mutex m_resultMutex;
    UpdateResult m_finishedResult;
    UpdateResult m_lastResult;
    // Set by Shutdown so that a worker still running gets Cancel for its prompt instead
    // of a message box nobody will answer.
    std::atomic<bool> m_closing{false};
    std::atomic<bool> m_finishedPosted{false};

    // Where the running update stands. The worker leaves the engine's newest value here
    // after each write and never waits; the window thread reads it on its own timer, so a
    // fast link costs the window nothing per block.
    std::mutex m_progressMutex;
    UpdateProgress m_latestProgress;
    // The volume the disk prompt asks for, as the engine refused it: the status bar names
    // its file beside the prompt (m_progressMutex).
    std::optional<VolumeRefusal> m_promptRefusal;
    // The prompt came or went, or the volume changed: the wake-up of the log shows it too.
    std::atomic<bool> m_progressTurned{false};
    CStatusBarProgress m_progress;
    // What the link said, for the reason of a failure; made anew at every Start.
    CLinkWatch m_linkWatch;
    bool m_progressRunning = false;
    int m_titlePercent = -1;
};

}  // namespace zorflash
