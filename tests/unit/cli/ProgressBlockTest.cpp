#include "present/ProgressBlock.h"
#include "present/DisplayWidth.h"

#include "ScreenModel.h"

#include <gtest/gtest.h>

#include <sstream>

using testsupport::ScreenModel;

using namespace zorflash;

namespace {

UpdateProgress Sent(uint64_t bytes, uint64_t total, double seconds, UpdateStep step = UpdateStep::Records)
{
    UpdateProgress progress;
    progress.bytes = bytes;
    progress.total = total;
    progress.seconds = seconds;
    progress.step = step;
    return progress;
}

CProgressBlock::Fleet Running(int count, int tick, int targets)
{
    CProgressBlock::Fleet fleet;
    fleet.targets = targets;
    fleet.done = targets - count;
    for (int i = 0; i < count; ++i)
        fleet.running.push_back(
            {"127.0.0." + std::to_string(i + 1) + ":8023", Sent(static_cast<uint64_t>(tick * 1000 + i * 37), 64000, 0.5 + tick)});
    return fleet;
}

std::vector<std::string> Words(const std::string& line)
{
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

// Every word of `shown` is a whole word of `full`: a column may go, but nothing is cut.
void ExpectWholeWords(const std::string& shown, const std::string& full)
{
    const std::vector<std::string> all = Words(full);
    for (const std::string& word : Words(shown)) {
        if (word.find_first_not_of("[#.]") != std::string::npos) {
            EXPECT_NE(std::find(all.begin(), all.end(), word), all.end()) << "'" << word << "' cut in: " << shown;
        }
    }
}

// A fleet on terminals of several sizes: targets finish one by one while the rest move on.
struct BlockCase {
    const char* name;
    int width;
    int height;
    int targets;
    Language language;
};

class ProgressBlockTest : public ::testing::TestWithParam<BlockCase> {};

// What a person sees at every moment: the finished targets' lines in order, under them the
// block with its overall line last, nothing past the right edge, never more block lines
// than fit; and once the block is cleared, only the finished lines, green.
TEST_P(ProgressBlockTest, StaysWithinTheTerminalAndLeavesOnlyTheResults)
{
    const BlockCase& c = GetParam();
    ScreenModel screen(c.width, c.height);
    screen.Write("$ flash\r\n");
    CProgressBlock block(c.language, true);
    std::vector<std::string> results = {"$ flash"};
    for (int tick = 0; tick <= c.targets; ++tick) {
        std::vector<CSummaryTable::Row> finished;
        if (tick > 0) {
            finished.push_back({"127.0.0." + std::to_string(tick) + ":8023", CSummaryTable::Verdict::Completed,
                                "completed", 3000, 786432, 1.5});
            results.push_back(CSummaryTable::ResultLine(finished.back(), {c.language, c.width, false}));
        }
        const CProgressBlock::Fleet fleet = Running(c.targets - tick, tick, c.targets);
        screen.Write(block.Draw(finished, fleet, c.width, c.height));

        const auto lines = screen.Lines();
        ASSERT_GE(lines.size(), results.size());
        EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + static_cast<long>(results.size())), results)
            << "tick " << tick;
        const size_t blockLines = lines.size() - results.size();
        EXPECT_EQ(blockLines, std::min(fleet.running.size() + 1, static_cast<size_t>(c.height - 1))) << "tick " << tick;
        EXPECT_EQ(lines.back(), block.Overall(fleet, c.width - 1));
        EXPECT_EQ(lines.back().find(std::to_string(tick) + "/" + std::to_string(c.targets)), 0u) << lines.back();
    }
    screen.Write(block.Clear(c.width));
    EXPECT_EQ(screen.Lines(), results);
    std::vector<int> green(results.size(), 32);
    green[0] = 0;
    EXPECT_EQ(screen.Colours(), green);
    EXPECT_EQ(screen.Overflows(), 0);
    EXPECT_TRUE(screen.Unknown().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProgressBlockTest,
    ::testing::Values(BlockCase{"Roomy", 120, 30, 4, Language::English},
                      BlockCase{"MoreTargetsThanRows", 60, 8, 16, Language::Japanese},
                      BlockCase{"Eighty", 80, 24, 8, Language::Japanese},
                      BlockCase{"Tiny", 12, 3, 64, Language::English}),
    [](const auto& info) { return std::string(info.param.name); });

// A terminal made narrower re-wraps the block's lines; the next draw still lands on the
// block, not on the results above it, and nothing is left over (as long as the re-wrapped
// block still fits on the screen: rows scrolled off cannot be reached again).
TEST(ProgressBlockResizeTest, ANarrowerOrWiderTerminalKeepsTheResultsAndOneBlock)
{
    for (const auto& [from, to] : std::vector<std::pair<int, int>>{{100, 37}, {37, 100}, {80, 20}}) {
        ScreenModel screen(from, 24);
        CProgressBlock block(Language::English, false);
        const CSummaryTable::Row first{"first", CSummaryTable::Verdict::Completed, "result"};
        const CSummaryTable::Row second{"second", CSummaryTable::Verdict::Completed, "result"};
        screen.Write(block.Draw({first}, Running(5, 1, 6), from, 24));
        screen.Resize(to, 24);
        screen.Write(block.Draw({second}, Running(4, 2, 6), to, 24));
        auto lines = screen.Lines();
        ASSERT_EQ(lines.size(), 7u) << from << "->" << to;
        EXPECT_EQ(lines[0].find("first  result"), 0u);
        EXPECT_EQ(lines[1].find("second  result"), 0u);
        screen.Write(block.Clear(to));
        EXPECT_EQ(screen.Lines().size(), 2u);
    }
}

// A row loses the bar first, then the rate, the time left and the bytes, in that order, and
// never a piece of a word or a number; the state is one short word in either language.
TEST(ProgressBlockRowTest, ANarrowLineDropsWholeColumnsInOrder)
{
    const CProgressBlock english(Language::English, false);
    const CProgressBlock japanese(Language::Japanese, false);
    UpdateProgress waiting = Sent(64000, 64000, 2.0);
    waiting.volume = waiting.volumes = 2;
    waiting.waiting = true;
    const std::vector<CProgressBlock::Row> rows = {{"127.0.0.12:8023", Sent(32000, 64000, 2.0)},
                                                   {"127.0.0.3:8023", Sent(0, 64000, 0, UpdateStep::OpeningTarget)},
                                                   {"127.0.0.4:8023", waiting}};
    const std::string full = english.FormatRows(rows, 200)[0];
    EXPECT_EQ(full, "127.0.0.12:8023  sending      [###############...............]   50%          "
                    "31.2 KiB/62.5 KiB  00:02 left  15.6 KiB/s");
    EXPECT_EQ(english.FormatRows(rows, 90)[2], "127.0.0.4:8023   insert disk   99% vol 2/2  62.5 KiB/62.5 KiB  --:-- left  31.2 KiB/s");
    EXPECT_EQ(english.FormatRows(rows, 90)[1].find("127.0.0.3:8023   connecting     0%"), 0u);
    const std::vector<std::pair<int, const char*>> narrower = {
        {83, "62.5 KiB/62.5 KiB  --:-- left"}, {64, "62.5 KiB/62.5 KiB"}, {59, ".]   99% vol 2/2"},
        {50, "insert disk   99% vol 2/2"}, {30, "127.0.0.4:8023    99% vol 2/2"}, {20, "127.0.0.4:8023"}};
    for (const auto& [columns, last] : narrower) {
        const std::string line = english.FormatRows(rows, columns)[2];
        EXPECT_LE(CDisplayWidth::Of(line), columns);
        EXPECT_EQ(line.substr(line.size() - std::string(last).size()), last) << columns;
    }
    for (int columns : {30, 59, 79, 119})
        for (const CProgressBlock* block : {&english, &japanese}) {
            const std::vector<std::string> lines = block->FormatRows(rows, columns);
            for (std::size_t r = 0; r < rows.size(); ++r) {
                EXPECT_LE(CDisplayWidth::Of(lines[r]), columns) << lines[r];
                ExpectWholeWords(lines[r], block->FormatRows(rows, 400)[r]);
            }
        }
    EXPECT_EQ(japanese.StateOf(rows[0].progress), "送信中");
}

// The overall line counts the whole fleet and gives the time left for all of it: the
// targets still waiting send as much as a running one, at the rate the lanes make together.
TEST(ProgressBlockRowTest, TheOverallLineCountsEveryTargetAndLosesItsLastPartsFirst)
{
    CProgressBlock::Fleet fleet;
    fleet.targets = 8;
    fleet.done = 3;
    fleet.failed = 1;
    fleet.waiting = 3;
    fleet.running = {{"a", Sent(1000, 4000, 1.0)}, {"b", Sent(3000, 4000, 1.0)}};
    const CProgressBlock english(Language::English, false);
    EXPECT_EQ(english.Overall(fleet, 79), "3/8 done, 2 running, 3 waiting, 1 failed, ETA 00:04");
    EXPECT_EQ(english.Overall(fleet, 39), "3/8 done, 2 running, 3 waiting");
    EXPECT_EQ(CProgressBlock(Language::Japanese, false).Overall(fleet, 79),
              "3/8 終了、実行中 2、待機 3、失敗 1、残り 00:04");
    fleet.running.clear();
    EXPECT_EQ(english.Overall(fleet, 79), "3/8 done, 0 running, 3 waiting, 1 failed, ETA --:--");
}

} // namespace

// The single line and the fleet block once measured these differently, so the same
// Japanese status text fitted one and overflowed the other; now both ask one function.
TEST(DisplayWidthTest, OneMeasureForTheCasesTheTwoDisplaysDisagreedOn)
{
    const std::vector<std::pair<std::string, int>> cases = {
        {"e\xCC\x81", 1},          // e + combining acute: the mark takes no column
        {"\xE2\x8C\x9A", 2},       // U+231A watch: wide
        {"\xEF\xB8\x90", 2},       // U+FE10 vertical comma: wide
        {"a\x01" "b\x1B", 2},      // control characters move no column
        {"\xE3\x80\xBF", 1},       // U+303F half-fill space: narrow amid the wide block
        {"\xE3\x41\x41", 3},       // a broken sequence: each byte shown as one
        {"\xEF\xB9\xA0", 2},       // U+FE60 small ampersand: wide
    };
    for (const auto& [text, columns] : cases)
        EXPECT_EQ(CDisplayWidth::Of(text), columns) << text;
    EXPECT_EQ(CDisplayWidth::TruncateWords("Sending (1153) Record", 18), "Sending (1153)");
    EXPECT_EQ(CDisplayWidth::TruncateWords("レコード（2049）を送信", 14), "レコード（2049");
    EXPECT_EQ(CDisplayWidth::TruncateWords("レコード（2049）を送信", 13), "レコード（");
    EXPECT_EQ(CDisplayWidth::TruncateWords("127.0.0.100:8023", 10), "127.0.0.10");
}
