#include "cli/run/FleetHost.h"

#include "cli/diagnose/FailureReason.h"
#include "cli/run/ChangeSignal.h"
#include "cli/output/PrintableText.h"
#include "cli/prompt/VolumeRefusalText.h"
#include "platform/EditText.h"
#include "platform/LastError.h"

#include <algorithm>

namespace zorflash {

namespace {

int64_t NowMicros()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

CFleetHost::CFleetHost(std::string target, const UpdateSettings& settings, Language language,
                       CFleetConsole& console, const Options& options)
    : m_target(std::move(target)), m_settings(settings), m_language(language), m_console(console),
      m_options(options), m_json(options.json ? std::make_unique<CJsonEvents>(*options.json, m_target) : nullptr),
      m_watch(options.trace)
{
    m_startMicros.store(NowMicros());
}

void CFleetHost::Begin()
{
    m_startMicros.store(NowMicros());
    std::lock_guard lock(m_abortMutex);
    m_abort = std::make_unique<CAbortSignal>();
    if (m_stopped)
        m_abort->Trigger();
}

void CFleetHost::Stop()
{
    std::lock_guard lock(m_abortMutex);
    m_stopped = true;
    if (m_abort)
        m_abort->Trigger();
}

void CFleetHost::EndWithError(UpdateOutcome outcome, const std::string& reason)
{
    m_result = UpdateResult{};
    m_result.outcome = outcome;
    m_failure = reason;
    m_endMicros.store(NowMicros());
}

void CFleetHost::EndNotStarted(PromptEnd answer, const std::optional<VolumeRefusal>& refusal)
{
    m_result = UpdateResult{};
    m_result.outcome = UpdateOutcome::Cancelled;
    m_promptEnd = answer;
    m_notStartedBy = answer;
    m_prompted = refusal;
    m_endMicros.store(m_startMicros.load());
}

void CFleetHost::OnStatusLogChanged(const CEditText& log, const LogChange& change)
{
    std::lock_guard lock(m_mutex);
    const std::string& text = log.GetText();
    const bool appended = change.kind == LogChange::Kind::Appended;
    // As for one instrument: applied in order, the events give the status text.
    if (m_json && change.kind != LogChange::Kind::Cleared)
        m_json->Status(appended ? "append" : "replace", change.text);
    if (change.kind == LogChange::Kind::Cleared || m_printedUpTo > text.size()) {
        m_printedUpTo = 0;
    } else if (change.gluedToProgress && m_printedUpTo < m_status.size()) {
        m_lastLine = m_status.substr(m_printedUpTo);
        m_console.StatusLine(m_target, m_lastLine);
        m_printedUpTo = m_status.size();
    }
    m_status = text;
    EchoFinishedLines();
    if (m_options.changes)
        m_options.changes->Notify(false);
}

void CFleetHost::EchoFinishedLines()
{
    // The log only grows at its end or rewrites its last line, so a line once ended with
    // CR LF stays as printed; the line in progress is printed when it ends.
    for (;;) {
        const std::size_t end = m_status.find("\r\n", m_printedUpTo);
        if (end == std::string::npos)
            return;
        m_lastLine = m_status.substr(m_printedUpTo, end - m_printedUpTo);
        m_console.StatusLine(m_target, m_lastLine);
        m_printedUpTo = end + 2;
    }
}

void CFleetHost::Finish()
{
    if (m_json)
        m_json->ProgressEnd(ToldProgress(), Progress());
    {
        std::lock_guard lock(m_mutex);
        if (m_printedUpTo < m_status.size())
            m_console.StatusLine(m_target, m_status.substr(m_printedUpTo));
        m_printedUpTo = m_status.size();
    }
    std::lock_guard lock(m_abortMutex);
    m_abort.reset();
}

void CFleetHost::EndWithoutContact(const FlashOutcome& outcome, const std::optional<VolumeRefusal>& missing)
{
    m_result = UpdateResult{};
    m_result.outcome = outcome.outcome;
    m_promptEnd = outcome.nobodyAnswered ? PromptEnd::NotAsked : PromptEnd::RunGoesOn;
    m_prompted = missing;
    m_endMicros.store(NowMicros());
}

bool CFleetHost::PromptOkCancel(const std::string& text, const VolumeRefusal& refusal)
{
    m_prompted = refusal;
    if (!m_failure.empty()) {
        m_promptEnd = PromptEnd::ResourceShortage;  // no disk can bring a descriptor
        return false;
    }
    const std::string reason = VolumeRefusalReason(refusal, m_settings.model.displayName);
    if (m_json)
        m_json->Prompt(text, refusal.volume, refusal.path, reason);
    m_promptEnd = m_console.Prompt(text, refusal, reason);
    if (m_json)
        m_json->Answer(PromptAnswerName(m_promptEnd));
    // Ctrl+C at the prompt ends this run as interrupted, whenever the display gets to it.
    if (m_promptEnd == PromptEnd::Interrupted)
        Stop();
    return m_promptEnd == PromptEnd::RunGoesOn;
}

void CFleetHost::NoteVolumeUnavailable(const VolumeRefusal& refusal)
{
    const std::string& path = refusal.path;
    const uint32_t error = refusal.systemError;
    const std::string reason = error == kErrorNotAFile ? "not a regular file" : DescribeError(error);
    if (IsResourceShortage(error)) {
        m_failure = ShortageReason(path, reason);  // this target's reason, in place of a prompt
        return;
    }
    m_console.NoteOnce("cannot open " + PrintableText(path) + ": " + reason);
}

void CFleetHost::ReportError(const std::string& text)
{
    m_reported = text;
    m_console.Error(m_target, PrintableText(text));
}

void CFleetHost::PostUpdateFinished(const UpdateResult& result)
{
    m_result = result;
    m_endMicros.store(NowMicros());
}

void CFleetHost::OnSend(const SendLabel& label)
{
    m_watch.OnSend(label);
}

void CFleetHost::OnRecordStreamWrite(uint32_t bytes)
{
    m_bytesSent.fetch_add(bytes);
    m_watch.OnRecordStreamWrite();
}

void CFleetHost::OnProgress(const UpdateProgress& progress)
{
    {
        std::lock_guard lock(m_mutex);
        m_progress = progress;
    }
    if (m_options.changes)
        m_options.changes->Notify(false);
    if (m_json)
        m_json->ProgressTold(progress, Progress());
}

UpdateProgress CFleetHost::ToldProgress() const
{
    std::lock_guard lock(m_mutex);
    return m_progress;
}

UpdateProgress CFleetHost::Progress() const
{
    std::lock_guard lock(m_mutex);
    // The pre-check's count leaves out what a volume holds behind the last END.
    UpdateProgress shown = m_progress;
    if (m_options.totalBytes > 0 && !shown.finished)
        shown.total = std::max(m_options.totalBytes, shown.bytes);
    return shown;
}

std::string CFleetHost::Reason() const
{
    if (!m_failure.empty())
        return m_failure;
    return FailureReason(Outcome(), m_result.step, m_settings, m_watch, m_promptEnd, m_prompted, m_reported);
}

std::string CFleetHost::CurrentLine() const
{
    std::lock_guard lock(m_mutex);
    // Between two lines, the one just ended stays on show until the next one begins.
    return m_printedUpTo < m_status.size() ? m_status.substr(m_printedUpTo) : m_lastLine;
}

std::string CFleetHost::StatusText() const
{
    std::lock_guard lock(m_mutex);
    return m_status;
}

double CFleetHost::Seconds() const
{
    const int64_t end = m_endMicros.load();
    return static_cast<double>((end >= 0 ? end : NowMicros()) - m_startMicros.load()) / 1e6;
}

}  // namespace zorflash
