#include "present/ProgressBlock.h"

#include "present/DisplayTexts.h"
#include "present/DisplayWidth.h"
#include "present/ProgressLine.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace zorflash {

namespace {

using Id = CDisplayTexts::Id;
constexpr char kClearLine[] = "\033[2K";
constexpr char kClearBelow[] = "\033[J";
// A bar narrower than this says nothing the percentage does not.
constexpr int kLeastBar = 10;
constexpr int kMostBar = 30;

enum Column { kTarget, kState, kPercent, kBytes, kLeft, kRate, kCount };

std::string Padded(const std::string& text, int columns, bool right)
{
    const std::string pad(static_cast<std::size_t>(std::max(0, columns - CDisplayWidth::Of(text))), ' ');
    return right ? pad + text : text + pad;
}

} // namespace

CProgressBlock::CProgressBlock(Language language, bool colour) : m_language(language), m_colour(colour)
{
}

std::string CProgressBlock::StateOf(const UpdateProgress& progress) const
{
    if (progress.finished)
        return CDisplayTexts::Text(Id::StateDone, m_language);
    if (progress.waiting)
        return CDisplayTexts::Text(Id::StateDisk, m_language);
    switch (progress.step) {
    case UpdateStep::Header:
        return CDisplayTexts::Text(Id::StateHeader, m_language);
    case UpdateStep::StartRecord:
    case UpdateStep::Records:
    case UpdateStep::EndRecord:
    case UpdateStep::Finished:
        return CDisplayTexts::Text(Id::StateSending, m_language);
    default:
        // The engine reports no progress between opening the file and the header: until
        // then the link is being opened and the instrument greeted.
        return CDisplayTexts::Text(Id::StateConnecting, m_language);
    }
}

std::vector<std::string> CProgressBlock::FormatRows(const std::vector<Row>& rows, int columns) const
{
    std::vector<std::array<std::string, kCount>> cells;
    std::array<int, kCount> widths{};
    for (const Row& row : rows) {
        const UpdateProgress& p = row.progress;
        char percent[8];
        std::snprintf(percent, sizeof percent, "%3d%%", p.Percent());
        cells.push_back({row.target, StateOf(p), percent + CProgressLine::VolumeText(p),
                         CProgressLine::FormatBytes(static_cast<double>(p.bytes)) + "/" +
                             CProgressLine::FormatBytes(static_cast<double>(p.total)),
                         CDisplayTexts::Format(Id::TimeLeft, m_language,
                                               {CProgressLine::FormatDuration(p.SecondsLeft())}),
                         CProgressLine::FormatBytes(p.Rate()) + "/s"});
        for (int c = 0; c < kCount; ++c)
            widths[c] = std::max(widths[c], CDisplayWidth::Of(cells.back()[c]));
    }
    // The columns a narrow terminal loses, in order; the bar only ever takes what is left.
    std::array<bool, kCount> keep;
    keep.fill(true);
    const auto fixed = [&] {
        int sum = -2;
        for (int c = 0; c < kCount; ++c)
            sum += keep[c] ? widths[c] + 2 : 0;
        return sum;
    };
    for (Column drop : {kRate, kLeft, kBytes, kState})
        if (fixed() > columns)
            keep[drop] = false;
    const int room = columns - fixed() - 2;
    const int bar = room >= kLeastBar + 2 ? std::min(room, kMostBar + 2) - 2 : 0;

    std::vector<std::string> lines;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        std::string line;
        for (int c = 0; c < kCount; ++c) {
            if (!keep[c])
                continue;
            if (c == kPercent && bar > 0) {
                const int filled = static_cast<int>(rows[r].progress.Percent() / 100.0 * bar);
                line += "  [" + std::string(static_cast<std::size_t>(filled), '#') +
                        std::string(static_cast<std::size_t>(bar - filled), '.') + "]";
            }
            line += (c == kTarget ? "" : "  ") + Padded(cells[r][c], widths[c], c > kPercent);
        }
        // Only a target name wider than the terminal itself is cut.
        lines.push_back(CDisplayWidth::TruncateWords(line.substr(0, line.find_last_not_of(' ') + 1), columns));
    }
    return lines;
}

std::string CProgressBlock::Overall(const Fleet& fleet, int columns) const
{
    // The rest of the fleet's bytes at the rate its lanes make together; a target still
    // waiting will send what a running one sends in all.
    uint64_t left = 0;
    uint64_t each = 0;
    double rate = 0;
    for (const Row& row : fleet.running) {
        left += row.progress.total - std::min(row.progress.total, row.progress.bytes);
        each = std::max(each, row.progress.total);
        rate += row.progress.Rate();
    }
    left += each * static_cast<uint64_t>(std::max(0, fleet.waiting));
    const double seconds = rate > 0 && (each > 0 || fleet.waiting == 0) ? static_cast<double>(left) / rate : -1;

    const std::string parts[] = {
        CDisplayTexts::Format(Id::OverallDone, m_language, {std::to_string(fleet.done), std::to_string(fleet.targets)}),
        CDisplayTexts::Format(Id::OverallRunning, m_language, {std::to_string(fleet.running.size())}),
        CDisplayTexts::Format(Id::OverallWaiting, m_language, {std::to_string(fleet.waiting)}),
        CDisplayTexts::Format(Id::OverallFailed, m_language, {std::to_string(fleet.failed)}),
        CDisplayTexts::Format(Id::OverallEta, m_language, {CProgressLine::FormatDuration(seconds)}),
    };
    std::string line;
    for (const std::string& part : parts) {
        const std::string longer = line.empty() ? part : line + CDisplayTexts::Text(Id::Separator, m_language) + part;
        if (CDisplayWidth::Of(longer) > columns)
            break;
        line = longer;
    }
    return line.empty() ? CDisplayWidth::TruncateWords(parts[0], columns) : line;
}

std::string CProgressBlock::MoveToTop(int width) const
{
    if (m_shown.empty())
        return {};
    // The cursor is on the block's last line. A line wider than the terminal now is shown
    // on several rows by a terminal that re-wraps after a resize.
    int rows = 0;
    for (int shown : m_shown)
        rows += std::max(1, (shown + width - 1) / width);
    std::string out = "\r";
    if (rows > 1)
        out += "\033[" + std::to_string(rows - 1) + "A";
    return out;
}

std::string CProgressBlock::Draw(const std::vector<CSummaryTable::Row>& finished, const Fleet& fleet, int width,
                                 int height)
{
    width = std::max(width, 2);
    height = std::max(height, 2);
    const int columns = width - 1;
    std::string out = MoveToTop(width);
    const CSummaryTable::Style style{m_language, width, m_colour};
    for (const CSummaryTable::Row& row : finished)
        out += kClearLine + CSummaryTable::ResultLine(row, style) + "\r\n";

    // The overall line always shows; the rows take what is left of height - 1 lines.
    const std::size_t fit = static_cast<std::size_t>(height - 2);
    const std::vector<Row> shown(fleet.running.begin(),
                                 fleet.running.begin() + static_cast<long>(std::min(fit, fleet.running.size())));
    std::vector<std::string> lines = FormatRows(shown, columns);
    lines.push_back(Overall(fleet, columns));

    m_shown.clear();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        out += kClearLine + lines[i] + (i + 1 < lines.size() ? "\r\n" : "");
        m_shown.push_back(CDisplayWidth::Of(lines[i]));
    }
    out += kClearBelow;
    return out;
}

std::string CProgressBlock::Clear(int width)
{
    std::string out = MoveToTop(std::max(width, 2)) + kClearBelow;
    m_shown.clear();
    return out;
}

}  // namespace zorflash
