#include "cli/run/TerminalHost.h"

#include "cli/run/FlashOutcome.h"
#include "cli/output/CliStringIds.h"
#include "cli/output/JsonEvents.h"
#include "cli/diagnose/LinkWatch.h"
#include "cli/output/OutputQueue.h"
#include "cli/output/PrintableText.h"
#include "cli/output/StatusText.h"
#include "cli/prompt/VolumeRefusalText.h"
#include "platform/Console.h"
#include "platform/EditText.h"
#include "platform/LastError.h"
#include "link/TcpChannel.h"
#include "link/UsbChannel.h"
#include "platform/StringResource.h"
#include "present/DisplayWidth.h"
#include "present/ProgressLine.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace zorflash {

namespace {
constexpr const char* kPlain = "\033[0m";
// What goes to stdout: a redraw of the line in progress is skipped while the last one waits.
const std::string kScreen = "screen";

const char* Escape(OutcomeColour colour)
{
    switch (colour) {
    case OutcomeColour::Green: return "\033[32m";
    case OutcomeColour::Red: return "\033[31m";
    case OutcomeColour::Yellow: return "\033[33m";
    case OutcomeColour::None: break;
    }
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
    NoteSign();
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
    return this;
}

void CTerminalHost::OnLinkBytes(Direction direction, const uint8_t* data, uint32_t length, Clock::time_point at)
{
    NoteSign();
    if (m_options.watch)
        m_options.watch->OnLinkBytes(direction, data, length, at);
}

void CTerminalHost::OnLinkFailure(Direction direction, uint32_t code, Clock::duration waited, Clock::time_point at)
{
    if (m_options.watch)
        m_options.watch->OnLinkFailure(direction, code, waited, at);
}

void CTerminalHost::OnLinkOpened(uint32_t error, Clock::duration waited, Clock::time_point at)
{
    m_linkOpen.store(error == 0);
    NoteSign();
    if (m_options.watch)
        m_options.watch->OnLinkOpened(error, waited, at);
}

void CTerminalHost::OnUsbSearch(const std::vector<UsbInstrument>& asked)
{
    if (m_options.watch)
        m_options.watch->OnUsbSearch(asked);
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

void CTerminalHost::NoteStep(const std::string& changed)
{
    // Only while the run goes on: what the engine writes after an interruption is the
    // failure it sees, not the step the operator stopped.
    if (m_abort.IsTriggered())
        return;
    const size_t end = changed.find_last_not_of("\r\n");
    if (end == std::string::npos)
        return;
    const size_t start = changed.rfind("\r\n", end);
    const size_t from = start == std::string::npos ? 0 : start + 2;
    m_step = changed.substr(from, end + 1 - from);
}

void CTerminalHost::OnStatusLogChanged(const CEditText& log, const LogChange& change)
{
    std::lock_guard lock(m_drawLock);
    NoteSign();
    const size_t before = m_status.size();
    m_status = log.GetText();
    if (change.kind == LogChange::Kind::Cleared) {
        // An emptied log is a new run.
        m_echoedUpTo = 0;
        m_breaks.clear();
        m_endingLine = std::string::npos;
        Echo(true);
        return;
    }
    // The log only ever grows at its end or rewrites its last line (the progress text), so
    // what was printed as finished lines stays true.
    const bool append = change.kind == LogChange::Kind::Appended;
    if (append && change.gluedToProgress)
        m_breaks.push_back(before);
    if (change.ends) {
        m_endingLine = before + std::min(change.text.size(), change.text.find_first_not_of("\r\n"));
        m_endingColour = COutcomeTable::Of(*change.ends).colour;
    }
    if (m_options.json)
        m_options.json->Status(append ? "append" : "replace", change.text);
    NoteStep(change.text);
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

void CTerminalHost::PrintFinished(const std::string& line, bool progress, bool ending)
{
    std::string shown = line;
    if (progress && m_options.interactive && Progress().total > 0)
        shown = CProgressLine::Fit(line, Progress(), Columns());
    const char* colour = m_options.colour && ending && !line.empty() ? Escape(m_endingColour) : nullptr;
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
        if ((m_lineShown || m_waitShown) && m_options.interactive)
            Out("\r\033[K");
        m_waitShown = false;
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
            PrintFinished(text.substr(pos, end - pos), progress, pos == m_endingLine);
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
    if (!force && !m_waitShown && (now - m_lastDraw < std::chrono::milliseconds(100) || m_output.Pending(kScreen)))
        return;
    m_lastDraw = now;
    DrawLive("");
}

void CTerminalHost::DrawLive(const std::string& note)
{
    const size_t lastBreak = m_status.rfind("\r\n");
    size_t from = lastBreak == std::string::npos ? 0 : lastBreak + 2;
    for (size_t b : m_breaks)
        from = std::max(from, b);
    const std::string current = m_status.substr(from);
    const int columns = Columns();
    // The note takes its room first: a cut progress line still shows the bar.
    const int noteWidth = note.empty() ? 0 : CDisplayWidth::Of(note) + 2;
    std::string line = current;
    if (!current.empty() && Progress().total > 0)
        line = CProgressLine::Fit(current, Progress(), std::max(1, columns - noteWidth));
    if (!note.empty())
        line = CDisplayWidth::Truncate(line.empty() ? note : line + "  " + note, std::max(1, columns - 1));
    Out("\r\033[K" + line);
    m_lineShown = !current.empty();
    m_waitShown = !note.empty();
}

std::string CTerminalHost::WaitNote() const
{
    const double waited = std::chrono::duration<double>(Clock::now().time_since_epoch() -
                                                        Clock::duration(m_lastSign.load())).count();
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
        return FormatStringResource(m_options.language, kIdsWaitingEach, seconds(waited).c_str(),
                                    seconds(limited(CUsbChannel::kIdTimeoutMs) / 1000.0).c_str());
    const uint32_t allowed = m_linkOpen.load() ? m_options.timeoutMs : limited(CTcpChannel::kConnectTimeoutMs);
    return FormatStringResource(m_options.language, kIdsWaitingOf, seconds(waited).c_str(),
                                seconds(allowed / 1000.0).c_str());
}

bool CTerminalHost::AwaitFinish(std::chrono::milliseconds limit)
{
    std::unique_lock lock(m_drawLock);
    if (m_finishedChanged.wait_for(lock, limit, [this] { return m_finished.load(); }))
        return true;
    if (!m_options.interactive || m_options.quiet || m_options.json || m_prompting)
        return false;
    const std::string note = WaitNote();
    if (!note.empty() || m_waitShown)
        DrawLive(note);
    return false;
}

void CTerminalHost::Finish()
{
    std::lock_guard lock(m_drawLock);
    if (m_options.json)
        m_options.json->ProgressEnd(m_progress, Progress());
    if (m_options.quiet || m_options.json)
        return;
    const std::string& text = m_status;
    const std::string rest = m_echoedUpTo < text.size() ? text.substr(m_echoedUpTo) : std::string();
    if (m_options.interactive && (m_lineShown || m_waitShown))
        Out("\r\033[K");
    if (!rest.empty())
        PrintFinished(rest, m_lineShown, m_echoedUpTo == m_endingLine);
    m_echoedUpTo = text.size();
    m_lineShown = false;
    m_waitShown = false;
}

bool CTerminalHost::PromptOkCancel(const std::string& text, const VolumeRefusal& refusal)
{
    if (!m_shortage.empty()) {
        m_promptEnd = PromptEnd::ResourceShortage;
        return false;
    }
    const std::string reason = VolumeRefusalReason(refusal, m_settings.model.displayName);
    if (m_options.json)
        m_options.json->Prompt(text, refusal.volume, refusal.path, reason);
    if (m_options.noPrompt) {
        m_promptEnd = PromptEnd::NotAsked;
        if (m_options.json)
            m_options.json->Answer("not-asked");
        return false;
    }
    // The wait note stays off the terminal while the operator is asked.
    std::unique_lock drawing(m_drawLock);
    m_prompting = true;
    if (m_options.interactive && (m_lineShown || m_waitShown) && !m_options.quiet && !m_options.json) {
        Out("\r\033[K");
        m_lineShown = false;
        m_waitShown = false;
    }
    drawing.unlock();
    struct Asked {
        CTerminalHost& host;
        ~Asked()
        {
            std::lock_guard lock(host.m_drawLock);
            host.m_prompting = false;
            host.NoteSign();
        }
    } asked{*this};
    const auto err = [this](const std::string& text) { Err(text); };
    const std::string question = text + " (looking for " + PrintableText(refusal.path) + ": " + reason + ")";
    const PromptEnd end = m_answers.Ask(question, m_abort, err, err,
                                        "zorflash-cli: no answer found the file after " +
                                            std::to_string(CAnswerInput::kMaxPrompts) + " prompts; cancelled\n");
    if (m_options.json)
        m_options.json->Answer(PromptAnswerName(end));
    if (end != PromptEnd::RunGoesOn) {
        m_promptEnd = end;
        return false;
    }
    return true;
}

void CTerminalHost::NoteVolumeUnavailable(const VolumeRefusal& refusal)
{
    const std::string& path = refusal.path;
    const uint32_t error = refusal.systemError;
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
    std::lock_guard lock(m_drawLock);
    m_result = result;
    m_finished.store(true);
    m_finishedChanged.notify_all();
}

void CTerminalHost::OnSend(const SendLabel& label)
{
    if (m_options.watch)
        m_options.watch->OnSend(label);
}

void CTerminalHost::OnRecordStreamWrite(uint32_t bytes)
{
    NoteSign();
    m_bytesSent.fetch_add(bytes);
    if (m_options.watch)
        m_options.watch->OnRecordStreamWrite();
}

void CTerminalHost::OnProgress(const UpdateProgress& progress)
{
    std::lock_guard lock(m_drawLock);
    NoteSign();
    m_progress = progress;
    if (m_options.json) {
        m_options.json->ProgressTold(progress, Progress());
        return;
    }
    if (m_options.quiet)
        return;
    if (!m_options.interactive) {
        // On stderr: stdout off a terminal is the status text, byte for byte.
        const std::string line = m_pipeProgress.Next(progress, Clock::now());
        if (!line.empty())
            Err(line + "\n");
    } else if (!progress.waiting) {
        Echo(false);
    }
}

}  // namespace zorflash
