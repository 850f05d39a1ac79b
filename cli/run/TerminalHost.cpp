#include "cli/run/TerminalHost.h"

#include "cli/run/FlashOutcome.h"
#include "cli/output/JsonEvents.h"
#include "cli/diagnose/LinkWatch.h"
#include "cli/output/OutputQueue.h"
#include "cli/output/PrintableText.h"
#include "cli/output/StatusText.h"
#include "platform/Console.h"
#include "platform/EditText.h"
#include "platform/LastError.h"
#include "platform/StringResource.h"
#include "present/ProgressLine.h"
#include "update/UpdateProtocol.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace zorflash {

namespace {
constexpr const char* kRed = "\033[31m";
constexpr const char* kGreen = "\033[32m";
constexpr const char* kPlain = "\033[0m";
// What goes to stdout: a redraw of the line in progress is skipped while the last one waits.
const std::string kScreen = "screen";

bool EndsWithLineEnd(const std::string& text)
{
    return text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0;
}

// The colour of a finished status line: the engine's failure messages red, its
// completion green, everything else as the terminal has it.
const char* ColourOf(const std::string& line, Language language)
{
    if (line.empty())
        return nullptr;
    if (line == WithoutLineEnds(LoadStringResource(IDS_TRANSFER_COMPLETED, language)))
        return kGreen;
    for (unsigned id : {IDS_CANNOT_OPEN_TARGET, IDS_INVALID_ROM_TYPE, IDS_SETUP_FAILURE, IDS_NO_MORVENAL,
                        IDS_HEADER_SIZE_FAILURE, IDS_INCORRECT_INPUT_FILE, IDS_HEADER_TRANSFER_ERROR,
                        IDS_NO_END_RECORD, IDS_INCORRECT_CHECKSUM, IDS_ABORTED_BY_INSTRUCTION,
                        IDS_COMMUNICATION_ERROR})
        if (line == WithoutLineEnds(LoadStringResource(id, language)))
            return kRed;
    return nullptr;
}
}  // namespace

CTerminalHost::CTerminalHost(const UpdateSettings& settings, const Options& options, COutputQueue& output,
                             std::FILE* out, std::FILE* err)
    : m_settings(settings)
    , m_options(options)
    , m_output(output)
    , m_out(out)
    , m_err(err)
    , m_start(std::chrono::steady_clock::now())
{
}

void CTerminalHost::Out(std::string text)
{
    m_output.Post(m_out, std::move(text), COutputQueue::Kind::Keep, kScreen);
}

void CTerminalHost::Err(std::string text)
{
    m_output.Post(m_err, std::move(text));
}

CLinkObserver* CTerminalHost::GetLinkObserver()
{
    return m_options.watch;
}

double CTerminalHost::Seconds() const
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
}

UpdateProgress CTerminalHost::Progress() const
{
    // The pre-check's count leaves out what a volume holds behind the last END.
    UpdateProgress shown = m_progress;
    if (m_options.totalBytes > 0 && !shown.finished)
        shown.total = std::max(m_options.totalBytes, shown.bytes);
    return shown;
}

void CTerminalHost::NoteStep()
{
    // Only while the run goes on: what the engine writes after an interruption is the
    // failure it sees, not the step the operator stopped.
    if (m_abort.IsTriggered())
        return;
    const std::string& text = m_status;
    size_t end = text.size();
    while (end > 0 && (text[end - 1] == '\n' || text[end - 1] == '\r'))
        --end;
    const size_t start = text.rfind("\r\n", end == 0 ? 0 : end - 1);
    const size_t from = start == std::string::npos ? 0 : start + 2;
    if (end > from)
        m_step = text.substr(from, end - from);
}

void CTerminalHost::OnStatusLogChanged(const CEditText& log)
{
    const std::string before = m_status;
    m_status = log.GetText();
    if (m_status.empty()) {
        // An emptied log is a new run.
        m_echoedUpTo = 0;
        m_breaks.clear();
        NoteStep();
        Echo(true);
        return;
    }
    LogChanged(before);
}

void CTerminalHost::LogChanged(const std::string& before)
{
    // The log only ever grows at its end or rewrites its last line (the progress text), so
    // what was printed as finished lines stays true, and the change is told by the texts.
    const std::string& after = m_status;
    const bool append = after.size() >= before.size() && after.compare(0, before.size(), before) == 0;
    const bool progressShown = !before.empty() && !EndsWithLineEnd(before);  // only progress texts lack one
    std::string change;
    if (append) {
        change = after.substr(before.size());
        if (progressShown && change.rfind("\r\n", 0) != 0)
            m_breaks.push_back(before.size());  // a message glued to the progress text
    } else {
        const size_t lineEnd = after.rfind("\r\n");
        change = after.substr(lineEnd == std::string::npos ? 0 : lineEnd + 2);
    }
    if (m_options.json)
        m_options.json->Status(append ? "append" : "replace", change);
    NoteStep();
    Echo(false);
}

int CTerminalHost::Columns()
{
    // Read at every redraw (at most ten a second): a resized window counts at once.
    int columns = 0;
    int rows = 0;
    if (TerminalSize(m_out, columns, rows))
        return columns;
    const char* text = std::getenv("COLUMNS");
    const int value = text ? std::atoi(text) : 0;
    return value > 0 ? value : 80;
}

void CTerminalHost::PrintFinished(const std::string& line, bool progress)
{
    std::string shown = line;
    if (progress && m_options.interactive && Progress().total > 0)
        shown = CProgressLine::Fit(line, Progress(), Columns());
    const char* colour = m_options.colour ? ColourOf(line, m_options.language) : nullptr;
    Out(colour ? colour + shown + kPlain + "\n" : shown + "\n");
}

void CTerminalHost::Echo(bool force)
{
    if (m_options.quiet || m_options.json)
        return;
    const std::string& text = m_status;
    if (m_echoedUpTo > text.size())
        m_echoedUpTo = 0;
    const size_t lastBreak = text.rfind("\r\n");
    const size_t finishedEnd = lastBreak == std::string::npos ? 0 : lastBreak + 2;
    if (finishedEnd > m_echoedUpTo) {
        if (m_lineShown && m_options.interactive)
            Out("\r\033[K");
        // The first line printed now is the one that was on the screen in progress.
        bool progress = m_lineShown;
        m_lineShown = false;
        size_t pos = m_echoedUpTo;
        while (pos < finishedEnd) {
            size_t end = text.find("\r\n", pos);
            // A message appended straight behind a progress text starts a line of its own
            // here; the status text itself keeps them together, as the status box does.
            for (size_t b : m_breaks)
                if (b > pos && b < end)
                    end = b;
            PrintFinished(text.substr(pos, end - pos), progress);
            progress = false;
            pos = text.compare(end, 2, "\r\n") == 0 ? end + 2 : end;
        }
        m_breaks.erase(std::remove_if(m_breaks.begin(), m_breaks.end(), [&](size_t b) { return b < finishedEnd; }),
                       m_breaks.end());
        m_echoedUpTo = finishedEnd;
        force = true;
    }
    if (!m_options.interactive)
        return;
    // The line in progress, redrawn at most ten times a second unless something finished,
    // and not while the last redraw still waits for the terminal (Ctrl+S, a slow link).
    const auto now = std::chrono::steady_clock::now();
    if (!force && (now - m_lastDraw < std::chrono::milliseconds(100) || m_output.Pending(kScreen)))
        return;
    m_lastDraw = now;
    size_t from = finishedEnd;
    for (size_t b : m_breaks)
        from = std::max(from, b);
    const std::string current = text.substr(from);
    std::string line = current;
    if (!current.empty() && Progress().total > 0)
        line = CProgressLine::Fit(current, Progress(), Columns());
    Out("\r\033[K" + line);
    m_lineShown = !current.empty();
}

void CTerminalHost::Finish()
{
    if (m_options.json && (m_progress.bytes != m_bytesReported || m_progress.finished != m_progressReported.finished))
        SendProgressEvent();
    if (m_options.quiet || m_options.json)
        return;
    const std::string& text = m_status;
    const std::string rest = m_echoedUpTo < text.size() ? text.substr(m_echoedUpTo) : std::string();
    if (m_options.interactive && m_lineShown)
        Out("\r\033[K");
    if (!rest.empty())
        PrintFinished(rest, m_lineShown);
    m_echoedUpTo = text.size();
    m_lineShown = false;
}

bool CTerminalHost::PromptOkCancel(const std::string& text)
{
    m_prompted = CVolumeProblem::Asked(m_settings);
    if (!m_shortage.empty()) {
        m_promptEnd = PromptEnd::ResourceShortage;
        return false;
    }
    if (m_options.json)
        m_options.json->Prompt(text, m_prompted.volume, m_prompted.path, m_prompted.reason);
    if (m_options.noPrompt) {
        m_promptEnd = PromptEnd::NotAsked;
        if (m_options.json)
            m_options.json->Answer("not-asked");
        return false;
    }
    if (m_options.interactive && m_lineShown && !m_options.quiet && !m_options.json) {
        Out("\r\033[K");
        m_lineShown = false;
    }
    for (;;) {
        if (++m_prompts > kMaxPrompts) {
            Err("zorflash-cli: no answer found the file after " + std::to_string(kMaxPrompts) +
                " prompts; cancelled\n");
            m_promptEnd = PromptEnd::OperatorCancelled;
            return false;
        }
        Err(text + " (looking for " + PrintableText(m_prompted.path) + ": " +
            (m_prompted.reason.empty() ? "present now" : m_prompted.reason) + ") [OK: Enter/ok/y, Cancel: c/cancel] ");
        std::string answer;
        const bool answered = m_answers.ReadLine(answer, m_abort);
        // A terminal echoes the operator's Enter; an answer from a pipe or file needs the
        // line ended here, or the next line of stderr would continue the question.
        if (!answered || !IsTerminal(stdin))
            Err("\n");
        if (!answered) {
            // Nobody there (end of input), the run being interrupted, or a line no person
            // would type, which counts as the operator's Cancel.
            m_promptEnd = m_abort.IsTriggered() ? PromptEnd::Interrupted
                          : m_answers.Ended()        ? PromptEnd::EndOfInput
                                                : PromptEnd::OperatorCancelled;
            if (m_options.json)
                m_options.json->Answer(PromptAnswerName(m_promptEnd));
            return false;
        }
        if (answer.empty() || answer == "ok" || answer == "y" || answer == "yes") {
            if (m_options.json)
                m_options.json->Answer("ok");
            m_prompted = CVolumeProblem::Asked(m_settings);
            return true;
        }
        if (answer == "c" || answer == "cancel" || answer == "n" || answer == "no") {
            m_promptEnd = PromptEnd::OperatorCancelled;
            if (m_options.json)
                m_options.json->Answer("cancel");
            return false;
        }
    }
}

void CTerminalHost::NoteVolumeUnavailable(const std::string& path, uint32_t error)
{
    const std::string reason = error == kErrorNotAFile ? "not a regular file" : DescribeError(error);
    if (IsResourceShortage(error)) {
        // Said once, as the run's reason, in place of a prompt no disk could answer.
        m_shortage = ShortageReason(path, reason);
        return;
    }
    Err("zorflash-cli: cannot open " + PrintableText(path) + ": " + reason + "\n");
}

void CTerminalHost::ReportError(const std::string& text)
{
    m_reported = text;
    Err("zorflash-cli: " + PrintableText(text) + "\n");
}

void CTerminalHost::PostUpdateFinished(const UpdateResult& result)
{
    m_result = result;
    m_finished.store(true);
}

void CTerminalHost::OnRecordStreamWrite(uint32_t bytes)
{
    m_bytesSent.fetch_add(bytes);
    if (m_options.watch)
        m_options.watch->OnRecordStreamWrite();
}

void CTerminalHost::OnProgress(const UpdateProgress& progress)
{
    m_progress = progress;
    if (m_options.json) {
        // A progress event at most five times a second, and at once when the volume, the
        // section, the total or a wait begins or ends; the last one is sent by Finish, after
        // the completion message.
        if (progress.finished)
            return;
        const bool news = progress.NewStageSince(m_progressReported);
        const auto now = std::chrono::steady_clock::now();
        if (news || now - m_lastProgressEvent >= std::chrono::milliseconds(200))
            SendProgressEvent();
        return;
    }
    if (m_options.interactive && !m_options.quiet && !progress.waiting)
        Echo(false);
}

void CTerminalHost::SendProgressEvent()
{
    m_lastProgressEvent = std::chrono::steady_clock::now();
    m_progressReported = m_progress;
    m_bytesReported = m_progress.bytes;
    m_options.json->Progress(Progress());
}

}  // namespace zorflash
