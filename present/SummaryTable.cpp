#include "present/SummaryTable.h"

#include "present/OutcomeTable.h"
#include "present/DisplayTexts.h"
#include "present/DisplayWidth.h"
#include "present/ProgressLine.h"

#include <algorithm>
#include <array>

namespace zorflash {

namespace {

using Id = CDisplayTexts::Id;
constexpr std::size_t kColumns = 6;
// The columns a narrow terminal loses, in this order: each says least about the outcome.
constexpr std::size_t kDropOrder[] = {5, 4, 3, 2};

// Left-aligned text columns, right-aligned numbers, two blanks between columns.
std::string Cell(const std::string& text, int columns, bool right)
{
    const int pad = std::max(0, columns - CDisplayWidth::Of(text));
    return right ? std::string(static_cast<std::size_t>(pad), ' ') + text
                 : text + std::string(static_cast<std::size_t>(pad), ' ');
}

// Colour goes on after a line is fitted: its escape sequences take no column.
std::string Painted(const std::string& line, CSummaryTable::Verdict verdict, bool colour)
{
    if (!colour || (verdict != CSummaryTable::Verdict::Completed && verdict != CSummaryTable::Verdict::Failed))
        return line;
    return (verdict == CSummaryTable::Verdict::Completed ? "\033[32m" : "\033[31m") + line + "\033[0m";
}

// Whole cells joined with two blanks; `keep` says which of them are shown.
std::string Joined(const std::array<std::string, kColumns>& cells, const std::array<int, kColumns>& widths,
                   const std::array<bool, kColumns>& keep)
{
    std::string text;
    for (std::size_t c = 0; c < kColumns; ++c)
        if (keep[c])
            text += (text.empty() ? "" : "  ") + Cell(cells[c], widths[c], c >= 2);
    return text.substr(0, text.find_last_not_of(' ') + 1);
}

std::array<std::string, kColumns> CellsOf(const CSummaryTable::Row& row)
{
    const std::string rate = row.Rate() > 0 ? CProgressLine::FormatBytes(row.Rate()) + "/s" : "-";
    return {row.target, row.outcome, row.records < 0 ? "-" : std::to_string(row.records),
            CProgressLine::FormatBytes(static_cast<double>(row.bytes)), CProgressLine::FormatSeconds(row.seconds),
            rate};
}

} // namespace

double CSummaryTable::Row::Rate() const
{
    const double over = sendingSeconds >= 0 ? sendingSeconds : seconds;
    return over > 0 ? static_cast<double>(bytes) / over : 0.0;
}

std::string CSummaryTable::Format(const std::vector<Row>& rows, const Style& style)
{
    using Line = std::array<std::string, kColumns>;
    const Language lang = style.language;
    std::vector<Line> lines = {{CDisplayTexts::Text(Id::Target, lang), CDisplayTexts::Text(Id::Outcome, lang),
                                CDisplayTexts::Text(Id::Records, lang), CDisplayTexts::Text(Id::Bytes, lang),
                                CDisplayTexts::Text(Id::Time, lang), CDisplayTexts::Text(Id::Rate, lang)}};
    int counts[4] = {};
    for (const Row& row : rows) {
        lines.push_back(CellsOf(row));
        ++counts[static_cast<int>(row.verdict)];
    }
    std::array<int, kColumns> widths{};
    for (const Line& line : lines)
        for (std::size_t c = 0; c < kColumns; ++c)
            widths[c] = std::max(widths[c], CDisplayWidth::Of(line[c]));

    std::array<bool, kColumns> keep;
    keep.fill(true);
    const int room = style.width > 0 ? style.width - 1 : 0;
    const auto widest = [&] {
        int most = 0;
        for (const Line& line : lines)
            most = std::max(most, CDisplayWidth::Of(Joined(line, widths, keep)));
        return most;
    };
    for (std::size_t drop = 0; room > 0 && drop < std::size(kDropOrder) && widest() > room; ++drop)
        keep[kDropOrder[drop]] = false;

    std::string out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string text = Joined(lines[i], widths, keep);
        if (room > 0)
            text = CDisplayWidth::TruncateWords(text, room);
        out += (i == 0 ? text : Painted(text, rows[i - 1].verdict, style.colour)) + "\n";
    }

    const Id kinds[] = {Id::CountCompleted, Id::CountFailed, Id::CountCancelled, Id::CountInterrupted};
    std::string count = CDisplayTexts::Format(rows.size() == 1 ? Id::TargetCountOne : Id::TargetCount, lang,
                                              {std::to_string(rows.size())}) +
                        CDisplayTexts::Format(kinds[0], lang, {std::to_string(counts[0])});
    for (int v = 1; v < 4; ++v)
        if (counts[v] > 0)
            count += CDisplayTexts::Text(Id::Separator, lang) +
                     CDisplayTexts::Format(kinds[v], lang, {std::to_string(counts[v])});
    return out + (room > 0 ? CDisplayWidth::TruncateWords(count, room) : count) + "\n";
}

std::string CSummaryTable::ResultLine(const Row& row, const Style& style)
{
    const std::array<std::string, kColumns> cells = CellsOf(row);
    std::array<int, kColumns> widths{};
    std::array<bool, kColumns> keep = {true, true, false, true, true, false};
    const int room = style.width > 0 ? style.width - 1 : 0;
    std::string line = Joined(cells, widths, keep);
    for (std::size_t c : {std::size_t{4}, std::size_t{3}}) {
        if (room == 0 || CDisplayWidth::Of(line) <= room)
            break;
        keep[c] = false;
        line = Joined(cells, widths, keep);
    }
    if (room > 0)
        line = CDisplayWidth::TruncateWords(line, room);
    return Painted(line, row.verdict, style.colour);
}

}  // namespace zorflash
