#include "cli/run/TargetRun.h"

#include "present/FailureReason.h"
#include "cli/output/CliStringIds.h"
#include "cli/output/NextStep.h"
#include "present/PrintableText.h"
#include "cli/output/RunConsole.h"
#include "update/StatusText.h"
#include "present/VolumeRefusalText.h"
#include "cli/run/ChangeSignal.h"
#include "link/TcpChannel.h"
#include "link/UsbChannel.h"
#include "platform/EditText.h"
#include "platform/LastError.h"
#include "platform/StatusFile.h"
#include "platform/StringResource.h"
#include "present/DisplayTexts.h"
#include "update/UpdateWorker.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <new>

namespace zorflash {

namespace {

int64_t NowMicros()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

CTargetRun::CTargetRun(std::string target, const UpdateSettings& settings, Language language, CRunConsole& console,
                       const Options& options)
    : m_target(std::move(target)), m_settings(settings), m_language(language), m_console(console),
      m_options(options),
      m_json(options.json ? std::make_unique<CJsonEvents>(*options.json, options.namedEvents ? m_target : "")
                          : nullptr)
{
    m_startMicros.store(NowMicros());
    NoteSign();
}

void CTargetRun::NoteSign()
{
    m_signMicros.store(NowMicros());
}

void CTargetRun::Run()
{
    m_startMicros.store(NowMicros());
    NoteSign();
    {
        std::lock_guard lock(m_abortMutex);
        m_abort = std::make_unique<CAbortSignal>();
        if (m_stopped)
            m_abort->Trigger();
    }
    // Whatever ends the update, the job's link closes as it unwinds, and the target ends
    // as failed with the reason; the other targets go on.
    try {
        UpdateThreadProc(this);
    } catch (const std::bad_alloc&) {
        EndWithError(UpdateOutcome::OutOfMemory, "out of memory; the link was closed");
    } catch (const std::exception& e) {
        EndWithError(UpdateOutcome::FileError,
                     std::string("the update stopped on an error of the program: ") + e.what() + "; the link was closed");
    } catch (...) {
        EndWithError(UpdateOutcome::FileError, "the update stopped on an error of the program; the link was closed");
    }
    Finish();
}

void CTargetRun::Stop()
{
    std::lock_guard lock(m_abortMutex);
    m_stopped = true;
    if (m_abort)
        m_abort->Trigger();
}

void CTargetRun::EndWithError(UpdateOutcome outcome, const CLocalText& reason)
{
    m_result = UpdateResult{};
    m_result.outcome = outcome;
    m_failure = reason;
    m_endMicros.store(NowMicros());
}

void CTargetRun::Finish()
{
    if (m_json)
        m_json->ProgressEnd(ToldProgress(), Progress());
    std::vector<CStatusLines::Line> rest;
    {
        std::lock_guard lock(m_mutex);
        rest = m_lines.Rest();
    }
    m_console.StatusEnd(m_target, rest, Progress());
    std::lock_guard lock(m_abortMutex);
    m_abort.reset();
}

void CTargetRun::Refuse(const CFileCheck::Report& report, const FlashOutcome& outcome)
{
    CFileCheck::LogRefusal(report, *this, m_language);
    Finish();
    m_result = UpdateResult{};
    m_result.outcome = outcome.outcome;
    m_promptEnd = outcome.nobodyAnswered ? PromptEnd::NotAsked : PromptEnd::RunGoesOn;
    m_prompted = report.asked;
    m_endMicros.store(NowMicros());
}

void CTargetRun::OnStatusLogChanged(const CEditText& log, const LogChange& change)
{
    NoteSign();
    const bool appended = change.kind == LogChange::Kind::Appended;
    // Applied in order, the events give the status text.
    if (m_json && change.kind != LogChange::Kind::Cleared)
        m_json->Status(appended ? "append" : "replace", change.text);
    std::vector<CStatusLines::Line> lines;
    std::string current;
    {
        std::lock_guard lock(m_mutex);
        lines = m_lines.Apply(log.GetText(), change);
        current = m_lines.Current();
        // Only while the run goes on: what the engine writes after an interruption is the
        // failure it sees, not the step the operator stopped.
        if (change.kind != LogChange::Kind::Cleared && !(m_abort && m_abort->IsTriggered()))
            m_step = WithoutLineEnds(change.text);
    }
    m_console.StatusLines(m_target, lines, current, Progress(), change.kind == LogChange::Kind::Cleared);
    if (m_options.changes)
        m_options.changes->Notify(false);
}

bool CTargetRun::PromptOkCancel(const std::string& text, const VolumeRefusal& refusal)
{
    m_prompted = refusal;
    if (!m_failure.Empty()) {
        m_promptEnd = PromptEnd::ResourceShortage;  // no disk can bring a descriptor
        return false;
    }
    const std::string reason = VolumeRefusalReason(refusal, m_settings.model.displayName);
    if (m_json)
        m_json->Prompt(text, refusal.volume, refusal.path, reason);
    m_promptEnd = m_console.Prompt(text, refusal, reason);
    NoteSign();  // the operator's time is no wait for the instrument
    if (m_json)
        m_json->Answer(PromptAnswerName(m_promptEnd));
    // Ctrl+C at the prompt ends this run as interrupted, whenever the display gets to it.
    if (m_promptEnd == PromptEnd::Interrupted)
        Stop();
    return m_promptEnd == PromptEnd::RunGoesOn;
}

void CTargetRun::NoteVolumeUnavailable(const VolumeRefusal& refusal)
{
    const std::string& path = refusal.path;
    const uint32_t error = refusal.systemError;
    const std::string reason = error == kErrorNotAFile ? "not a regular file" : DescribeError(error);
    if (IsResourceShortage(error)) {
        // This target's reason, in place of a prompt.
        m_failure = CLocalText::Say(CDisplayTexts::Id::ReasonShortage, {PrintableText(path), reason});
        return;
    }
    const std::string said =
        error == kErrorNotAFile ? CDisplayTexts::Text(CDisplayTexts::Id::NotRegularFile, m_language) : reason;
    m_console.Note(CDisplayTexts::Format(CDisplayTexts::Id::CannotOpenPath, m_language, {PrintableText(path), said}));
}

void CTargetRun::ReportError(const std::string& text)
{
    m_reported = text;
    m_console.Error(m_target, PrintableText(text));
}

void CTargetRun::PostUpdateFinished(const UpdateResult& result)
{
    m_result = result;
    m_endMicros.store(NowMicros());
}

void CTargetRun::OnSend(const SendLabel& label)
{
    m_watch.OnSend(label);
}

void CTargetRun::OnRecordStreamWrite(uint32_t)
{
    NoteSign();
    if (m_options.trace && m_watch.LastLabel())
        m_options.trace->RecordStream(*m_watch.LastLabel());
}

void CTargetRun::OnProgress(const UpdateProgress& progress)
{
    NoteSign();
    std::string current;
    {
        std::lock_guard lock(m_mutex);
        m_progress = progress;
        current = m_lines.Current();
    }
    if (m_json)
        m_json->ProgressTold(progress, Progress());
    m_console.Progress(progress, Progress(), current);
    if (m_options.changes)
        m_options.changes->Notify(false);
}

// The link's events go to the watch, which explains a failure, and to the trace, if any.
void CTargetRun::OnLinkBytes(Direction direction, const uint8_t* data, uint32_t length, Clock::time_point at)
{
    NoteSign();
    m_watch.OnLinkBytes(direction, data, length, at);
    if (m_options.trace)
        m_options.trace->OnLinkBytes(direction, data, length, at);
}

void CTargetRun::OnLinkFailure(Direction direction, uint32_t code, Clock::duration waited, Clock::time_point at)
{
    m_watch.OnLinkFailure(direction, code, waited, at);
    if (m_options.trace)
        m_options.trace->OnLinkFailure(direction, code, waited, at);
}

void CTargetRun::OnLinkOpened(uint32_t error, Clock::duration waited, Clock::time_point at)
{
    m_linkOpen.store(error == 0);
    NoteSign();
    m_watch.OnLinkOpened(error, waited, at);
    if (m_options.trace)
        m_options.trace->OnLinkOpened(error, waited, at);
}

void CTargetRun::OnUsbSearch(const std::vector<UsbInstrument>& asked)
{
    m_watch.OnUsbSearch(asked);
    if (m_options.trace)
        m_options.trace->OnUsbSearch(asked);
}

UpdateProgress CTargetRun::ToldProgress() const
{
    std::lock_guard lock(m_mutex);
    return m_progress;
}

UpdateProgress CTargetRun::Progress() const
{
    std::lock_guard lock(m_mutex);
    // The pre-check's count leaves out what a volume holds behind the last END.
    UpdateProgress shown = m_progress;
    if (m_options.totalBytes > 0 && !shown.finished)
        shown.total = std::max(m_options.totalBytes, shown.bytes);
    return shown;
}

std::string CTargetRun::StatusText() const
{
    std::lock_guard lock(m_mutex);
    return m_lines.Text();
}

double CTargetRun::Seconds() const
{
    const int64_t end = m_endMicros.load();
    return static_cast<double>((end >= 0 ? end : NowMicros()) - m_startMicros.load()) / 1e6;
}

std::string CTargetRun::WaitNote() const
{
    const double waited = static_cast<double>(NowMicros() - m_signMicros.load()) / 1e6;
    if (waited < 2.0)
        return {};
    const auto seconds = [](double s) {
        char text[32];
        std::snprintf(text, sizeof text, s < 10.0 ? "%.1f s" : "%.0f s", s);
        return std::string(text);
    };
    const auto limited = [this](uint32_t ms) {
        return m_options.waitLimitMs != 0 ? std::min(ms, m_options.waitLimitMs) : ms;
    };
    // Until the link is open the wait is its open: a connect, or the identification of
    // each USB instrument in turn; after it, one send or receive of the run.
    if (!m_linkOpen.load() && m_settings.useUsb)
        return FormatStringResource(m_language, kIdsWaitingEach, seconds(waited).c_str(),
                                    seconds(limited(CUsbChannel::kIdTimeoutMs) / 1000.0).c_str());
    const uint32_t allowed = m_linkOpen.load() ? m_options.timeoutMs : limited(CTcpChannel::kConnectTimeoutMs);
    return FormatStringResource(m_language, kIdsWaitingOf, seconds(waited).c_str(),
                                seconds(allowed / 1000.0).c_str());
}

TargetEnd CTargetRun::Conclude(bool started, CConsoleInterrupt::Reason interruption, CStatusFile* statusFile,
                               const CLocalText* givenReason)
{
    const bool signalled = interruption != CConsoleInterrupt::Reason::None;
    // Not started because the disk prompt had ended the run for good (no signal came): it
    // ends as that answer ends a target, without ever being contacted.
    if (!started && !signalled && m_console.FinalAnswer() != PromptEnd::RunGoesOn) {
        m_result = UpdateResult{};
        m_result.outcome = UpdateOutcome::Cancelled;
        m_promptEnd = m_notStartedBy = m_console.FinalAnswer();
        m_prompted = m_console.FinalRefusal();
        m_endMicros.store(m_startMicros.load());
    }
    const bool byAnswer = m_notStartedBy != PromptEnd::RunGoesOn;
    const FlashOutcome outcome = Outcome();
    const bool interrupted = (!started && !byAnswer) || m_result.outcome == UpdateOutcome::Interrupted;
    using Id = CDisplayTexts::Id;
    const CLocalText failure =
        !m_failure.Empty() ? m_failure
                           : FailureReason(outcome.Row(), m_promptEnd == PromptEnd::NotAsked, m_result.step,
                                           m_settings, m_watch, m_prompted, m_reported);

    TargetEnd end;
    end.row.target = m_target;
    end.started = started;
    end.contacted = m_watch.Opened();
    end.bytesSent = ToldProgress().bytes;
    end.records = m_result.records;
    end.acknowledgedRecords = m_result.acknowledgedRecords;
    end.step = StepName(m_result.step);
    end.shared = outcome.nobodyAnswered || byAnswer;
    end.told = givenReason != nullptr;
    const OutcomeRow& row = outcome.Row();
    // Stopped without a signal, by an error of the program: a failure, like the run.
    end.exitCode = !interrupted ? row.exitCode
                   : signalled  ? COutcomeTable::InterruptionExitCode(interruption)
                                : static_cast<int>(kExitFailed);
    end.outcome = started || byAnswer ? row.name : "interrupted";
    // The row speaks the outcome table's short labels, in the run's language: the status
    // text and the reason on stderr give the detail.
    end.row.verdict = static_cast<CSummaryTable::Verdict>(row.verdict);
    end.row.outcome = row.Label(m_language);
    if (!started && !byAnswer) {
        end.row.verdict = CSummaryTable::Verdict::Interrupted;
        end.row.outcome = CDisplayTexts::Text(CDisplayTexts::Id::NotStarted, m_language);
    } else if (started) {
        end.row.records = static_cast<long long>(m_result.records);
        end.row.bytes = m_result.bytes;
        end.row.seconds = Seconds();
        end.row.sendingSeconds = Progress().seconds;
    }

    if (givenReason) {
        end.reason = *givenReason;
    } else if (byAnswer) {
        end.reason = CLocalText::Say(Id::NotStartedBecause,
                                     {outcome.nobodyAnswered ? failure : CLocalText::Say(Id::OperatorCancelledPrompt)});
    } else if (!started) {
        end.reason = CLocalText::Say(Id::StoppedBeforeTurn);
    } else if (interrupted && signalled) {
        // The status text stays as the engine wrote it (a communication error); this says
        // what really ended the run.
        const CLocalText sent = CLocalText::Say(end.bytesSent > 0 ? Id::HoldsIncomplete : Id::NothingSent);
        const char* signal = CConsoleInterrupt::Describe(interruption);
        end.reason = m_step.empty() ? CLocalText::Say(Id::OperatorInterruptedTarget, {signal, sent})
                                    : CLocalText::Say(Id::ReasonOperatorInterrupt, {signal, PrintableText(m_step), sent});
    } else {
        end.reason = failure;
    }

    if (m_options.trace)
        m_options.trace->Close("zorflash-cli: " + (m_console.Settings().several ? m_target + ": " : std::string()) +
                               "the trace file " + PrintableText(m_options.trace->Place().Path()) +
                               " could not be written completely\n");
    // A target never started has no status text of its own: it leaves no file.
    std::string error;
    const std::string text = StatusText();
    if (started && statusFile && !statusFile->Write(text, error)) {
        const std::string path = PrintableText(statusFile->Path());
        m_console.Error(m_target, CDisplayTexts::Format(Id::StatusFileNotWritten, m_language, {path, PrintableText(error)}));
        if (outcome.outcome == UpdateOutcome::Completed) {
            end.outcome = COutcomeTable::StatusFileLost().name;
            end.row.outcome = COutcomeTable::StatusFileLost().Label(m_language);
            end.exitCode = COutcomeTable::StatusFileLost().exitCode;
            end.reason = CLocalText::Say(Id::SentButStatusLost, {path, PrintableText(error)});
        }
    }
    if (end.exitCode != kExitCompleted) {
        const OutcomeRow* named = COutcomeTable::Named(end.outcome);
        end.nextStep = NextStepLine(named ? *named : row, COutcomeTable::LeftIncomplete(m_result), m_language);
    }
    end.lastLine = LastStatusLine(text);
    m_console.Ended(end);
    if (m_json)
        m_json->Result(end, started ? Seconds() : 0.0);
    return end;
}

}  // namespace zorflash
