#include "cli/output/ProgressBlock.h"

#include "update/ProgressLine.h"

#include <algorithm>
#include <cstdio>

namespace zorflash {

namespace {

constexpr char kClearLine[] = "\033[2K";
constexpr char kClearBelow[] = "\033[J";

// The next code point of UTF-8 text and its length; a stray byte counts as one column.
uint32_t NextCodePoint(const std::string& text, std::size_t at, std::size_t& length)
{
    const auto byte = static_cast<unsigned char>(text[at]);
    length = byte < 0x80 ? 1 : (byte >> 5) == 0x6 ? 2 : (byte >> 4) == 0xE ? 3 : (byte >> 3) == 0x1E ? 4 : 1;
    if (at + length > text.size())
        length = 1;
    if (length == 1)
        return byte;
    uint32_t code = byte & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i)
        code = (code << 6) | (static_cast<unsigned char>(text[at + i]) & 0x3F);
    return code;
}

int Columns(uint32_t code)
{
    if (code < 0x20 || (code >= 0x7F && code < 0xA0))
        return 0;
    const bool wide = (code >= 0x1100 && code <= 0x115F) || (code >= 0x2E80 && code <= 0xA4CF)
                      || (code >= 0xAC00 && code <= 0xD7A3) || (code >= 0xF900 && code <= 0xFAFF)
                      || (code >= 0xFE30 && code <= 0xFE4F) || (code >= 0xFF00 && code <= 0xFF60)
                      || (code >= 0xFFE0 && code <= 0xFFE6) || (code >= 0x1F300 && code <= 0x1FAFF)
                      || (code >= 0x20000 && code <= 0x3FFFD);
    return wide ? 2 : 1;
}

std::string Padded(const std::string& text, int columns)
{
    const std::string fitted = CProgressBlock::Fit(text, columns);
    return fitted + std::string(static_cast<std::size_t>(columns - CProgressBlock::DisplayWidth(fitted)), ' ');
}

} // namespace

int CProgressBlock::DisplayWidth(const std::string& text)
{
    int columns = 0;
    for (std::size_t at = 0, length = 0; at < text.size(); at += length)
        columns += Columns(NextCodePoint(text, at, length));
    return columns;
}

std::string CProgressBlock::Fit(const std::string& text, int columns)
{
    int used = 0;
    std::size_t at = 0;
    for (std::size_t length = 0; at < text.size(); at += length) {
        const int more = Columns(NextCodePoint(text, at, length));
        if (used + more > columns)
            break;
        used += more;
    }
    return text.substr(0, at);
}

std::string CProgressBlock::FormatRow(const Row& row, int targetColumns, int stepColumns, int columns)
{
    const double fraction = row.progress.Percent() / 100.0;
    char percentText[8];
    std::snprintf(percentText, sizeof percentText, "%3d%%", row.progress.Percent());
    const std::string percent = percentText + CProgressLine::VolumeText(row.progress);
    const std::string rateText = CProgressLine::FormatBytes(row.progress.Rate()) + "/s";

    const std::string head = Padded(row.target, targetColumns) + "  " + Padded(row.step, stepColumns) + "  ";
    const int room = columns - DisplayWidth(head) - 1 - static_cast<int>(percent.size()) - 2
                     - static_cast<int>(rateText.size());
    // A bar narrower than ten cells says nothing the percentage does not.
    if (room >= 12) {
        const int cells = std::min(room, 40) - 2;
        const int filled = static_cast<int>(fraction * cells);
        return Fit(head + "[" + std::string(static_cast<std::size_t>(filled), '#')
                       + std::string(static_cast<std::size_t>(cells - filled), '.') + "] " + percent + "  "
                       + rateText,
                   columns);
    }
    return Fit(head + percent + (room >= -1 ? "  " + rateText : std::string()), columns);
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

std::string CProgressBlock::Draw(const std::vector<std::string>& finished, const std::vector<Row>& rows, int width,
                                 int height)
{
    width = std::max(width, 2);
    height = std::max(height, 2);
    const int columns = width - 1;
    std::string out = MoveToTop(width);
    for (const std::string& line : finished)
        out += kClearLine + Fit(line, columns) + "\r\n";

    std::vector<std::string> lines;
    const int fit = height - 1;
    const bool crowded = static_cast<int>(rows.size()) > fit;
    const std::size_t shown = crowded ? static_cast<std::size_t>(fit - 1) : rows.size();
    int targetColumns = 0;
    int stepColumns = 0;
    for (std::size_t i = 0; i < shown; ++i) {
        targetColumns = std::max(targetColumns, DisplayWidth(rows[i].target));
        stepColumns = std::max(stepColumns, DisplayWidth(rows[i].step));
    }
    // The target keeps at most half the line, so the progress stays visible.
    targetColumns = std::min(targetColumns, columns / 2);
    stepColumns = std::min(stepColumns, std::max(0, columns / 4));
    for (std::size_t i = 0; i < shown; ++i)
        lines.push_back(FormatRow(rows[i], targetColumns, stepColumns, columns));
    if (crowded)
        lines.push_back(Fit("... and " + std::to_string(rows.size() - shown) + " more running", columns));

    m_shown.clear();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        out += kClearLine + lines[i] + (i + 1 < lines.size() ? "\r\n" : "");
        m_shown.push_back(DisplayWidth(lines[i]));
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
