#pragma once

#include "cli/output/RunConsole.h"
#include "present/ProgressBlock.h"

#include <vector>

namespace zorflash {

// Several targets as one terminal shows them: a progress block with a line per running
// target, each ended target scrolling up as one result line, then a summary table; on a
// pipe every status line prefixed "[TARGET] ". Reasons are said per target (on a
// terminal after the table, out of the block's way), and the last line names the
// targets that did not complete.
class CFleetConsole : public CRunConsole {
public:
    CFleetConsole(const Options& options, COutputQueue& output, std::FILE* out, std::FILE* err);

    void StatusLines(const std::string& target, const std::vector<CStatusLines::Line>& lines,
                     const std::string& current, const UpdateProgress& shown, bool cleared) override;
    bool Draw(const CProgressBlock::Fleet& fleet, const std::string& waitNote) override;
    std::chrono::milliseconds IdleRedraw() const override { return std::chrono::milliseconds(1000); }
    void Ended(const TargetEnd& end) override;
    void Report(const std::vector<TargetEnd>& ends, int code) override;

protected:
    void ClearLocked() override;

private:
    void SayReason(const TargetEnd& end);

    CProgressBlock m_block;
    std::vector<CSummaryTable::Row> m_pending;  // ended, not shown yet above the block
};

}  // namespace zorflash
