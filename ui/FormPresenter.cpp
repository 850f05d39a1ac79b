#include "ui/FormPresenter.h"

#include "platform/File.h"
#include "platform/FileException.h"
#include "platform/LastError.h"
#include "platform/MemoryException.h"
#include "platform/PathText.h"
#include "platform/StringResource.h"
#include "present/OutcomeTable.h"
#include "ui/FailureDetail.h"
#include "ui/FileFilter.h"
#include "ui/FileNote.h"
#include "ui/FramePresenter.h"
#include "ui/HeaderPreview.h"
#include "ui/LinkSummary.h"
#include "ui/UiStringIds.h"
#include "update/UpdateWorker.h"

#include <new>
#include <system_error>

namespace zorflash {

CFormPresenter::CFormPresenter(IFormView& view, UpdateSettings& record, Language language)
    : m_view(view)
    , m_record(record)
    , m_language(language)
    , m_runLanguage(language)
    , m_progress(language)
{
}

CFormPresenter::~CFormPresenter()
{
    // A view that forgot Shutdown still must not leave a thread that points at it; the
    // worker posts its end as its last act, so this waits only for that.
    if (m_worker.joinable()) {
        m_closing = true;
        m_worker.join();
    }
}

void CFormPresenter::OnInitialUpdate()
{
    if (m_updating)
        return;
    // The list is rebuilt from the table on every first display (New as well), so list
    // position n is always table row n.
    std::vector<std::string> names;
    for (int i = 0; g_deviceModelTable[i].displayName; ++i)
        names.emplace_back(g_deviceModelTable[i].displayName);
    m_view.ShowModelList(names);
    SelectModel(0);
    // The status bar says "Ready" until the first update or file; after one it keeps
    // telling how that one ended, or what the chosen file needs, New or not.
    if (!m_started && !m_fileChosen)
        ShowProgress(m_progress.Idle());
}

void CFormPresenter::SelectModel(int index)
{
    // The record stays as the update started with it until the update has finished.
    if (m_updating || index < 0 || index >= kDeviceModelCount)
        return;
    ApplyModelSelection(m_record, index);
    m_view.ShowModelSelection(index);
    ShowLinkSummary();
    // A file chosen for one model may belong to another: say so now, not at Start.
    if (m_fileChosen)
        ShowFileNote();
}

void CFormPresenter::ShowFileNote()
{
    ShowProgress(m_progress.Note(FileChoiceNote(m_record, m_chosenPreview, m_language)));
}

void CFormPresenter::ShowLinkSummary()
{
    m_view.ShowLinkSummary(FormatLinkSummary(m_record));
}

void CFormPresenter::OnBrowse()
{
    if (m_updating)
        return;
    const std::string path = m_view.ChooseUpdateFile(BuildUpdateFileFilter(m_record.model.fileExtension, m_language));
    if (!path.empty())
        OnFileChosen(path);
}

void CFormPresenter::OnFileChosen(const std::string& path)
{
    if (m_updating || path.empty())
        return;
    // The file is read first and taken only when its preview could be read, so the name,
    // the preview and the record always speak of the same file; a file that cannot be
    // read leaves the form as it was, with one message why.
    std::string preview;
    try {
        CFile file;
        if (!file.Open(path)) {
            const uint32_t error = GetLastError();
            // A pipe or a device: no seek, no second read, and the system's word for it
            // ("Invalid argument") would only puzzle the operator.
            if (error == kErrorNotAFile) {
                ReportException(FormatStringResource(m_language, kIdsNotARegularFile, path.c_str()));
                return;
            }
            throw CFileException(CFileException::CauseFromErrno(static_cast<int>(error)), static_cast<int>(error), path);
        }
        preview = ReadHeaderPreview(file);
        file.Close();
    } catch (const CFileException& e) {
        ReportException(e.GetErrorMessage(m_language));
        return;
    } catch (const CMemoryException& e) {
        ReportException(e.GetErrorMessage(m_language));
        return;
    } catch (const std::bad_alloc&) {
        ReportException(CMemoryException().GetErrorMessage(m_language));
        return;
    }
    m_record.filePath = path;
    m_record.fileName = Utf8FromPath(PathFromUtf8(path).filename());
    m_view.ShowFileName(m_record.fileName);
    m_view.ShowHeaderPreview(FormatHeaderPreview(preview));
    m_startEnabled = true;
    m_view.EnableStart(true);
    // A new file starts a new story: the last update's result would now mislead.
    m_chosenPreview = preview;
    m_fileChosen = true;
    ShowFileNote();
}

void CFormPresenter::OnSettings()
{
    if (m_updating)
        return;
    m_view.RunSettingsDialog();
    ShowLinkSummary();
}

void CFormPresenter::OnStart()
{
    if (m_updating || !m_startEnabled)
        return;
    m_view.EnableStart(false);
    m_started = true;
    SetUpdating(true);
    m_finishedPosted = false;
    m_runSettings = m_record;
    m_runLanguage = m_language;
    m_linkWatch = CLinkWatch();
    {
        // Until the engine has opened the file, the bar starts from nothing.
        std::lock_guard<std::mutex> lock(m_progressMutex);
        m_latestProgress = UpdateProgress();
        m_promptRefusal.reset();
    }
    m_progressRunning = true;
    ShowProgressNow();
    m_view.StartTimer(FormTimer::Progress, kProgressRedrawMs);
    try {
        m_worker = StartUpdateWorker(this);
    } catch (const std::system_error&) {
        m_view.StopTimer(FormTimer::Progress);
        m_progressRunning = false;
        ShowProgress(m_progress.Idle());
        SetUpdating(false);
        m_view.EnableStart(true);
        ReportException(LoadStringResource(kIdsUpdateNotStarted, m_language));
    }
}

void CFormPresenter::OnUpdateFinished()
{
    if (!m_updating)
        return;
    {
        std::lock_guard<std::mutex> lock(m_resultMutex);
        m_lastResult = m_finishedResult;
    }
    // The log is final before the worker posts this; whatever change it still holds is
    // shown now, whichever message was delivered first.
    if (m_logTimerRunning) {
        m_view.StopTimer(FormTimer::StatusLog);
        m_logTimerRunning = false;
    }
    ShowPendingLog();
    // The worker posts this as its last act, so the join waits only for its return.
    if (m_worker.joinable())
        m_worker.join();
    if (m_progressRunning) {
        m_view.StopTimer(FormTimer::Progress);
        ShowProgressNow();
        m_progressRunning = false;
        // The outcome the finished message carried, as the CLI's exit code comes from it.
        CStatusBarProgress::Outcome outcome = CStatusBarProgress::Outcome::Failed;
        if (m_lastResult.outcome == UpdateOutcome::Completed)
            outcome = CStatusBarProgress::Outcome::Completed;
        else if (m_lastResult.outcome == UpdateOutcome::Cancelled)
            outcome = CStatusBarProgress::Outcome::Cancelled;  // a file error ends with the same words
        ShowProgress(m_progress.Finish(outcome, FailureStory()));
    }
    SetUpdating(false);
    m_view.EnableStart(true);
}

void CFormPresenter::OnTimer(FormTimer timer)
{
    if (timer == FormTimer::Progress) {
        if (m_progressRunning)
            ShowProgressNow();
        return;
    }
    // The status log's timer is a single wait for the next allowed redraw.
    m_view.StopTimer(FormTimer::StatusLog);
    m_logTimerRunning = false;
    ShowPendingLog();
}

std::vector<std::string> CFormPresenter::FailureStory() const
{
    if (m_lastResult.Completed())
        return {};
    const OutcomeRow& row = COutcomeTable::Of(m_lastResult.outcome);
    return {FailureDetail(m_lastResult, m_linkWatch, m_runSettings, m_runLanguage),
            COutcomeTable::LeftIncomplete(m_lastResult) ? COutcomeTable::IncompleteNote(m_runLanguage) : "",
            row.NextStep(m_runLanguage)};
}

void CFormPresenter::ShowProgressNow()
{
    UpdateProgress progress;
    std::optional<VolumeRefusal> refusal;
    {
        std::lock_guard<std::mutex> lock(m_progressMutex);
        progress = m_latestProgress;
        refusal = m_promptRefusal;
    }
    // The disk prompt's text names only the volume's number; the status bar beside it
    // names the file, once the prompt has said which one it was refused.
    const std::string promptNote = progress.waiting && refusal && refusal->volume == progress.volume
                                       ? VolumePromptNote(*refusal, m_runLanguage)
                                       : std::string();
    ShowProgress(m_progress.Show(progress, promptNote));
}

void CFormPresenter::ShowProgress(const ProgressState& state)
{
    m_view.ShowProgress(state);
    if (state.titlePercent != m_titlePercent) {
        m_titlePercent = state.titlePercent;
        if (m_frame)
            m_frame->OnProgressPercentChanged(m_titlePercent);
    }
}

void CFormPresenter::SetUpdating(bool updating)
{
    m_updating = updating;
    m_view.LockForUpdate(updating);
    if (m_frame)
        m_frame->OnUpdatingChanged(updating);
}

void CFormPresenter::ReportException(const std::string& text)
{
    m_view.ShowMessage(MessageIcon::Warning, LoadStringResource(kIdsAppTitle, m_language), text, MessageButtons::Ok);
}

void CFormPresenter::Shutdown(const std::function<void()>& serveWindowThread)
{
    // Closing is refused while an update runs, so this only happens when the program is
    // ended some other way. The worker may still wait for the window thread (a prompt
    // asked just before), so keep serving it until it has said its last word.
    if (!m_worker.joinable())
        return;
    m_closing = true;
    while (!m_finishedPosted)
        serveWindowThread();
    // The finished message may have been handled above, and joined the worker there.
    if (m_worker.joinable())
        m_worker.join();
}

// ---- the status box, as the update host ----

// The status box shows the whole text and its caret, as the edit control did: what
// changed matters to line-by-line renderings only.
void CFormPresenter::OnStatusLogChanged(const CEditText& log, const LogChange& /*change*/)
{
    if (OnWindowThread()) {
        ShowStatusLog(log.GetText(), log.GetSelEnd());
        return;
    }
    if (m_logMailbox.Put(log.GetText(), log.GetSelEnd()))
        m_view.PostStatusLogChanged();
}

// A fast link changes the log far more often than anyone can read it; redrawing at most
// every kLogRedrawMs leaves the window thread's time to the operator and the worker's CPU
// to the transfer. The mailbox keeps the newest text meanwhile.
void CFormPresenter::OnStatusLogPosted()
{
    if (m_progressTurned.exchange(false) && m_progressRunning)
        ShowProgressNow();
    const auto now = std::chrono::steady_clock::now();
    const auto since = std::chrono::duration_cast<std::chrono::milliseconds>(now - m_lastLogRedraw).count();
    if (m_lastLogRedraw == std::chrono::steady_clock::time_point{} || since >= kLogRedrawMs) {
        ShowPendingLog();
    } else if (!m_logTimerRunning) {
        m_logTimerRunning = true;
        m_view.StartTimer(FormTimer::StatusLog, static_cast<int>(kLogRedrawMs - since));
    }
}

void CFormPresenter::ShowPendingLog()
{
    std::string text;
    int caret = 0;
    if (!m_logMailbox.Take(text, caret))
        return;
    ShowStatusLog(text, caret);
    m_lastLogRedraw = std::chrono::steady_clock::now();
}

void CFormPresenter::ShowStatusLog(const std::string& text, int caret)
{
    m_statusText.SetText(text);
    m_statusText.SetSel(caret, caret);
    StatusBoxText shown;
    shown.text = m_statusText.GetText();
    shown.caret = m_statusText.GetSelEnd();
    shown.caretLine = m_statusText.LineFromChar(shown.caret);
    shown.caretColumn = shown.caret - std::max(0, m_statusText.LineIndex(shown.caretLine));
    m_view.ShowStatusText(shown);
}

bool CFormPresenter::PromptOkCancel(const std::string& text, const VolumeRefusal& refusal)
{
    if (m_closing)
        return false;
    {
        std::lock_guard<std::mutex> lock(m_progressMutex);
        m_promptRefusal = refusal;
    }
    bool ok = false;
    m_view.RunOnWindowThread([this, &text, &ok] {
        // The worker told its wait before asking; show it now, whatever order the
        // window thread's events come in.
        if (m_progressRunning)
            ShowProgressNow();
        ok = !m_closing && m_view.ShowMessage(MessageIcon::Information, std::string(), text, MessageButtons::OkCancel);
    });
    return ok;
}

void CFormPresenter::ReportError(const std::string& text)
{
    if (m_closing)
        return;
    m_view.RunOnWindowThread([this, &text] {
        if (!m_closing)
            ReportException(text);
    });
}

void CFormPresenter::OnProgress(const UpdateProgress& progress)
{
    bool turned = false;
    {
        std::lock_guard<std::mutex> lock(m_progressMutex);
        // The disk prompt coming or going, or another volume: the operator should see it
        // now, not at the status bar's next tick.
        turned = progress.waiting != m_latestProgress.waiting || progress.volume != m_latestProgress.volume ||
                 progress.volumes != m_latestProgress.volumes;
        m_latestProgress = progress;
    }
    if (turned) {
        m_progressTurned = true;
        m_view.PostStatusLogChanged();
    }
}

void CFormPresenter::PostUpdateFinished(const UpdateResult& result)
{
    {
        std::lock_guard<std::mutex> lock(m_resultMutex);
        m_finishedResult = result;
    }
    m_finishedPosted = true;
    m_view.PostUpdateFinished();
}

}  // namespace zorflash
