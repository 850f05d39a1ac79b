#include "cli/output/FleetConsole.h"

#include "platform/OutputQueue.h"
#include "present/DisplayTexts.h"

namespace zorflash {

namespace {
// The block's draws: one is skipped while the last one still waits for the terminal.
const std::string kBlock = "block";
}  // namespace

CFleetConsole::CFleetConsole(const Options& options, COutputQueue& output, std::FILE* out, std::FILE* err)
    : CRunConsole(options, output, out, err), m_block(options.language, options.colour)
{
}

void CFleetConsole::ClearLocked()
{
    if (!m_options.interactive)
        return;
    int width = 0;
    int height = 0;
    Size(width, height);
    Out(m_block.Clear(width), kBlock);
}

void CFleetConsole::StatusLines(const std::string& target, const std::vector<CStatusLines::Line>& lines,
                                const std::string&, const UpdateProgress&, bool)
{
    // On a terminal the block shows where each target is; a blank line of the log
    // separates messages in the status box, and prefixed it says nothing.
    if (m_options.interactive || m_options.quiet || m_options.json)
        return;
    std::lock_guard lock(m_lock);
    for (const CStatusLines::Line& line : lines)
        if (!line.text.empty())
            Out("[" + target + "] " + line.text + "\n", kBlock);
}

bool CFleetConsole::Draw(const CProgressBlock::Fleet& fleet, const std::string&)
{
    if (!m_options.interactive || m_options.quiet || m_options.json)
        return true;
    std::lock_guard lock(m_lock);
    // Drawn again only once the terminal took the last draw: a terminal that stopped
    // reading (Ctrl+S) gets the result lines later, not a pile of draws.
    if (m_prompting || m_output.Pending(kBlock))
        return false;
    int width = 0;
    int height = 0;
    Size(width, height);
    Out(m_block.Draw(m_pending, fleet, width, height), kBlock);
    m_pending.clear();
    return true;
}

void CFleetConsole::SayReason(const TargetEnd& end)
{
    // Only failures: an interrupted target, or one never started, has its own line after
    // the table, a lost status file has had its own, and the operator who answered
    // Cancel needs none (the JSON result has each reason).
    if (end.told || end.reason.Empty() || end.row.verdict != CSummaryTable::Verdict::Failed)
        return;
    const std::string reason = end.reason.Text(m_options.language);
    if (end.shared) {
        Note(reason);  // the same volume, or the same answer, for every target
        Note(end.nextStep);
    } else {
        Error(end.row.target, reason);
        Error(end.row.target, end.nextStep);
    }
}

void CFleetConsole::Ended(const TargetEnd& end)
{
    {
        std::lock_guard lock(m_lock);
        m_pending.push_back(end.row);
    }
    if (!m_options.interactive)
        SayReason(end);
}

void CFleetConsole::Report(const std::vector<TargetEnd>& ends, int code)
{
    std::vector<CSummaryTable::Row> rows;
    std::string names;
    std::size_t failed = 0;
    const bool signalled = code == kExitHangUp || code == kExitInterrupted || code == kExitTerminated;
    for (const TargetEnd& end : ends) {
        rows.push_back(end.row);
        // The status texts stay as the engine wrote them (a communication error); these
        // lines say what really ended each run.
        if (end.row.verdict == CSummaryTable::Verdict::Interrupted && end.started && signalled) {
            Error(end.row.target, end.reason.Text(m_options.language));
            Error(end.row.target, end.nextStep);
        }
        if (end.exitCode != kExitCompleted && ++failed <= 5)
            names += std::string(failed > 1 ? ", " : "") + end.row.target + " (" + end.row.outcome + ")";
    }
    if (!m_options.json && !m_options.quiet) {
        CSummaryTable::Style style{m_options.language, 0, m_options.colour};
        int height = 0;
        if (m_options.interactive)
            Size(style.width, height);
        std::string text;
        for (const CSummaryTable::Row& row : m_pending)
            text += m_options.interactive ? CSummaryTable::ResultLine(row, style) + "\n" : std::string();
        text += "\n" + CSummaryTable::Format(rows, style);
        std::lock_guard lock(m_lock);
        Out(std::move(text), kBlock);
    }
    if (m_options.interactive)
        for (const TargetEnd& end : ends)
            SayReason(end);
    // The last line on stderr says what a script or a station's operator acts on.
    if (code == kExitStatusFileLost) {
        Error(CDisplayTexts::Text(CDisplayTexts::Id::EveryTarget, m_options.language),
              CDisplayTexts::Text(CDisplayTexts::Id::SentButAStatusMissing, m_options.language));
    } else if (code != kExitCompleted) {
        if (failed > 5)
            names += CDisplayTexts::Format(CDisplayTexts::Id::AndMore, m_options.language,
                                           {std::to_string(failed - 5)});
        Note(CDisplayTexts::Format(CDisplayTexts::Id::NotCompleted, m_options.language,
                                   {std::to_string(failed), std::to_string(ends.size()), names}));
    }
}

}  // namespace zorflash
