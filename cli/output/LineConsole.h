#pragma once

#include "cli/output/PipeProgress.h"
#include "cli/output/RunConsole.h"

#include <chrono>

namespace zorflash {

// One instrument's run as a terminal or a pipe shows it: its status log as lines
// (finished lines once each; on a terminal the line in progress redrawn in place with a
// progress bar fitted to the width, and a wait of more than 2 s shown on it), on a pipe
// progress lines on stderr so that stdout stays the status text; at the end a summary of
// what was sent, the reason and the next step.
class CLineConsole : public CRunConsole {
public:
    using CRunConsole::CRunConsole;

    void StatusLines(const std::string& target, const std::vector<CStatusLines::Line>& lines,
                     const std::string& current, const UpdateProgress& shown, bool cleared) override;
    void StatusEnd(const std::string& target, const std::vector<CStatusLines::Line>& lines,
                   const UpdateProgress& shown) override;
    void Progress(const UpdateProgress& told, const UpdateProgress& shown, const std::string& current) override;
    bool Draw(const CProgressBlock::Fleet& fleet, const std::string& waitNote) override;
    // The wait note's seconds move on while the instrument says nothing.
    std::chrono::milliseconds IdleRedraw() const override { return std::chrono::milliseconds(250); }
    void Report(const std::vector<TargetEnd>& ends, int code) override;

protected:
    void ClearLocked() override;

private:
    void Print(const std::vector<CStatusLines::Line>& lines);
    void Redraw(bool force);
    void DrawLive(const std::string& note);
    int Columns() const;

    std::string m_current;     // the line in progress, as last told
    UpdateProgress m_shown;    // where the run stands, as last told
    bool m_lineShown = false;  // a line in progress is on the screen
    bool m_waitShown = false;  // the live line carries the wait note
    std::chrono::steady_clock::time_point m_lastDraw;
    CPipeProgress m_pipeProgress;
};

}  // namespace zorflash
