#include "cli/output/LineConsole.h"

#include "platform/OutputQueue.h"
#include "platform/Console.h"
#include "present/DisplayTexts.h"
#include "present/DisplayWidth.h"
#include "present/ProgressLine.h"

#include <algorithm>
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

int CLineConsole::Columns() const
{
    int columns = 0;
    int rows = 0;
    Size(columns, rows);
    return columns;
}

void CLineConsole::ClearLocked()
{
    if (m_options.interactive && (m_lineShown || m_waitShown))
        Out("\r\033[K", kScreen);
    m_lineShown = false;
    m_waitShown = false;
}

void CLineConsole::Print(const std::vector<CStatusLines::Line>& lines)
{
    // The first line printed now is the one that was on the screen in progress: it keeps
    // its bar.
    bool progress = m_lineShown;
    ClearLocked();
    for (const CStatusLines::Line& line : lines) {
        std::string shown = line.text;
        if (progress && m_options.interactive && m_shown.total > 0)
            shown = CProgressLine::Fit(line.text, m_shown, Columns(), m_options.language);
        progress = false;
        const char* colour = m_options.colour && !line.text.empty() ? Escape(line.colour) : nullptr;
        Out(colour ? colour + shown + kPlain + "\n" : shown + "\n", kScreen);
    }
}

void CLineConsole::StatusLines(const std::string&, const std::vector<CStatusLines::Line>& lines,
                               const std::string& current, const UpdateProgress& shown, bool cleared)
{
    std::lock_guard lock(m_lock);
    m_current = current;
    m_shown = shown;
    if (m_options.quiet || m_options.json)
        return;
    if (!lines.empty())
        Print(lines);
    Redraw(cleared || !lines.empty());
}

void CLineConsole::StatusEnd(const std::string&, const std::vector<CStatusLines::Line>& lines,
                             const UpdateProgress& shown)
{
    std::lock_guard lock(m_lock);
    m_current.clear();
    m_shown = shown;
    if (m_options.quiet || m_options.json)
        return;
    Print(lines);
    ClearLocked();
}

void CLineConsole::Progress(const UpdateProgress& told, const UpdateProgress& shown, const std::string& current)
{
    std::lock_guard lock(m_lock);
    m_shown = shown;
    m_current = current;
    if (m_options.quiet || m_options.json)
        return;
    if (!m_options.interactive) {
        // On stderr: stdout off a terminal is the status text, byte for byte.
        const std::string line = m_pipeProgress.Next(told, std::chrono::steady_clock::now(), m_options.language);
        if (!line.empty())
            Err(line + "\n");
    } else if (!told.waiting) {
        Redraw(false);
    }
}

void CLineConsole::Redraw(bool force)
{
    if (!m_options.interactive || m_prompting)
        return;
    // At most ten times a second unless something finished, and not while the last
    // redraw still waits for the terminal (Ctrl+S, a slow link).
    const auto now = std::chrono::steady_clock::now();
    if (!force && !m_waitShown && (now - m_lastDraw < std::chrono::milliseconds(100) || m_output.Pending(kScreen)))
        return;
    m_lastDraw = now;
    DrawLive("");
}

void CLineConsole::DrawLive(const std::string& note)
{
    const int columns = Columns();
    // The note takes its room first: a cut progress line still shows the bar.
    const int noteWidth = note.empty() ? 0 : CDisplayWidth::Of(note) + 2;
    std::string line = m_current;
    if (!m_current.empty() && m_shown.total > 0)
        line = CProgressLine::Fit(m_current, m_shown, std::max(1, columns - noteWidth), m_options.language);
    if (!note.empty())
        line = CDisplayWidth::Truncate(line.empty() ? note : line + "  " + note, std::max(1, columns - 1));
    Out("\r\033[K" + line, kScreen);
    m_lineShown = !m_current.empty();
    m_waitShown = !note.empty();
}

bool CLineConsole::Draw(const CProgressBlock::Fleet&, const std::string& waitNote)
{
    std::lock_guard lock(m_lock);
    if (m_options.interactive && !m_options.quiet && !m_options.json && !m_prompting &&
        (!waitNote.empty() || m_waitShown))
        DrawLive(waitNote);
    return true;
}

void CLineConsole::Report(const std::vector<TargetEnd>& ends, int code)
{
    const TargetEnd& end = ends.front();
    const bool completed = end.row.verdict == CSummaryTable::Verdict::Completed;
    // The status text stays as the engine wrote it (a communication error); this line
    // says what really ended the run.
    bool said = end.told;
    if (end.row.verdict == CSummaryTable::Verdict::Interrupted && !said) {
        Say(end.reason.Text(m_options.language));
        said = true;
    }
    if (code == kExitStatusFileLost) {
        Say(CDisplayTexts::Text(CDisplayTexts::Id::SentButStatusMissing, m_options.language));
        said = true;
    }
    // On a pipe too, and after a failure that sent records: a log says how far it got. Off
    // a terminal it goes to stderr with the progress lines, so that stdout stays the status
    // text a script keeps; before the reason, so that the next step is the last word.
    if ((completed || end.bytesSent > 0) && !m_options.json && !m_options.quiet)
        m_output.Post(m_options.interactive ? m_out : m_err,
                      CProgressLine::Summary(end.bytesSent, end.records, end.row.sendingSeconds, m_options.language) +
                          "\n");
    // The operator who answered Cancel needs no line saying so; a script has it.
    if (!end.reason.Empty() && !said && end.row.verdict != CSummaryTable::Verdict::Cancelled) {
        const char* noColour = std::getenv("NO_COLOR");
        const bool colour = IsTerminal(m_err) && !(noColour && *noColour);
        Err(std::string(colour ? "\033[31m" : "") + "zorflash-cli: " + end.reason.Text(m_options.language) + (colour ? kPlain : "") + "\n");
    }
    if (!end.nextStep.empty() && !end.told)
        Say(end.nextStep);
    // Quiet runs still say why they failed.
    if (m_options.quiet && !completed && !end.told && !end.lastLine.empty())
        Say(end.lastLine);
}

}  // namespace zorflash

