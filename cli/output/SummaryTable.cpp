#include "cli/output/SummaryTable.h"

#include "cli/output/ProgressBlock.h"
#include "update/ProgressLine.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace zorflash {

namespace {

// Left-aligned text columns, right-aligned numbers, two blanks between columns.
std::string Cell(const std::string& text, int columns, bool right)
{
    const int pad = std::max(0, columns - CProgressBlock::DisplayWidth(text));
    return right ? std::string(static_cast<std::size_t>(pad), ' ') + text
                 : text + std::string(static_cast<std::size_t>(pad), ' ');
}

} // namespace

double CSummaryTable::Row::Rate() const
{
    const double over = sendingSeconds >= 0 ? sendingSeconds : seconds;
    return over > 0 ? static_cast<double>(bytes) / over : 0.0;
}

std::string CSummaryTable::Format(const std::vector<Row>& rows)
{
    using Line = std::array<std::string, 6>;
    std::vector<Line> lines = {{"target", "outcome", "records", "bytes", "time", "rate"}};
    int counts[4] = {};
    for (const Row& row : rows) {
        const std::string rate = row.Rate() > 0 ? CProgressLine::FormatBytes(row.Rate()) + "/s" : "-";
        lines.push_back({row.target, row.outcome, row.records < 0 ? "-" : std::to_string(row.records),
                         CProgressLine::FormatBytes(static_cast<double>(row.bytes)),
                         CProgressLine::FormatSeconds(row.seconds), rate});
        ++counts[static_cast<int>(row.verdict)];
    }
    std::array<int, 6> widths{};
    for (const Line& line : lines)
        for (std::size_t c = 0; c < line.size(); ++c)
            widths[c] = std::max(widths[c], CProgressBlock::DisplayWidth(line[c]));
    std::string out;
    for (const Line& line : lines) {
        std::string text;
        for (std::size_t c = 0; c < line.size(); ++c)
            text += (c ? "  " : "") + Cell(line[c], widths[c], c >= 2);
        out += text.substr(0, text.find_last_not_of(' ') + 1) + "\n";
    }
    std::string count = std::to_string(rows.size()) + (rows.size() == 1 ? " target: " : " targets: ")
                        + std::to_string(counts[0]) + " completed";
    const char* names[] = {"", "failed", "cancelled", "interrupted"};
    for (int v = 1; v < 4; ++v)
        if (counts[v] > 0)
            count += ", " + std::to_string(counts[v]) + " " + names[v];
    return out + count + "\n";
}

}  // namespace zorflash
