#include "cli/output/ProgressBlock.h"

#include "ScreenModel.h"

#include <gtest/gtest.h>

using testsupport::ScreenModel;

using namespace zorflash;

namespace {

std::vector<CProgressBlock::Row> Running(int count, const std::string& step, int tick)
{
    std::vector<CProgressBlock::Row> rows;
    for (int i = 0; i < count; ++i) {
        UpdateProgress progress;
        progress.bytes = static_cast<uint64_t>(tick * 1000 + i * 37);
        progress.total = 64000;
        progress.seconds = 0.5 + tick;
        rows.push_back({"127.0.0." + std::to_string(i + 1) + ":8023", step, progress});
    }
    return rows;
}

// A fleet on terminals of several sizes: targets finish one by one while the rest move on.
struct BlockCase {
    const char* name;
    int width;
    int height;
    int targets;
    const char* step;
};

class ProgressBlockTest : public ::testing::TestWithParam<BlockCase> {};

// What a person sees at every moment: the finished targets' lines in order, under them the
// block, nothing past the right edge, never more block lines than fit; and once the block
// is cleared, only the finished lines.
TEST_P(ProgressBlockTest, StaysWithinTheTerminalAndLeavesOnlyTheResults)
{
    const BlockCase& c = GetParam();
    ScreenModel screen(c.width, c.height);
    screen.Write("$ flash\r\n");
    CProgressBlock block;
    std::vector<std::string> results = {"$ flash"};
    for (int tick = 0; tick <= c.targets; ++tick) {
        std::vector<std::string> finished;
        if (tick > 0) {
            finished.push_back("127.0.0." + std::to_string(tick) + ":8023  completed  3000 records");
            results.push_back(CProgressBlock::Fit(finished.back(), c.width - 1));
        }
        const auto rows = Running(c.targets - tick, c.step, tick);
        screen.Write(block.Draw(finished, rows, c.width, c.height));

        const auto lines = screen.Lines();
        ASSERT_GE(lines.size(), results.size());
        EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + static_cast<long>(results.size())), results)
            << "tick " << tick;
        const size_t blockLines = lines.size() - results.size();
        EXPECT_LE(blockLines, static_cast<size_t>(c.height - 1)) << "tick " << tick;
        EXPECT_EQ(blockLines, rows.empty() ? 0u : std::min(rows.size(), static_cast<size_t>(c.height - 1)));
        if (!rows.empty()) {
            EXPECT_EQ(lines.back().find(rows.size() < static_cast<size_t>(c.height) ? "127.0" : "..."), 0u)
                << lines.back();
        }
    }
    screen.Write(block.Clear(c.width));
    EXPECT_EQ(screen.Lines(), results);
    EXPECT_EQ(screen.Overflows(), 0);
    EXPECT_TRUE(screen.Unknown().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProgressBlockTest,
    ::testing::Values(BlockCase{"Roomy", 100, 30, 4, "records"},
                      BlockCase{"MoreTargetsThanRows", 60, 8, 16, "records"},
                      BlockCase{"Tiny", 12, 3, 64, "header"},
                      // The Japanese step names take two columns a character.
                      BlockCase{"WideCharacters", 40, 10, 5, "\xE3\x83\xAC\xE3\x82\xB3\xE3\x83\xBC\xE3\x83\x89\xE9\x80\x81\xE4\xBF\xA1"}),
    [](const auto& info) { return std::string(info.param.name); });

// A terminal made narrower re-wraps the block's lines; the next draw still lands on the
// block, not on the results above it, and nothing is left over (as long as the re-wrapped
// block still fits on the screen: rows scrolled off cannot be reached again).
TEST(ProgressBlockResizeTest, ANarrowerOrWiderTerminalKeepsTheResultsAndOneBlock)
{
    for (const auto& [from, to] : std::vector<std::pair<int, int>>{{100, 37}, {37, 100}, {80, 20}}) {
        ScreenModel screen(from, 24);
        CProgressBlock block;
        screen.Write(block.Draw({"first result"}, Running(5, "records", 1), from, 24));
        screen.Resize(to, 24);
        screen.Write(block.Draw({"second result"}, Running(4, "records", 2), to, 24));
        auto lines = screen.Lines();
        ASSERT_EQ(lines.size(), 6u) << from << "->" << to;
        EXPECT_EQ(lines[0], "first result");
        EXPECT_EQ(lines[1], "second result");
        screen.Write(block.Clear(to));
        EXPECT_EQ(screen.Lines(), (std::vector<std::string>{"first result", "second result"}));
    }
}

TEST(ProgressBlockRowTest, ANarrowLineDropsTheBarThenTheRateButKeepsTheTargetAndPercent)
{
    UpdateProgress progress;
    progress.bytes = 32000;
    progress.total = 64000;
    progress.seconds = 2.0;
    CProgressBlock::Row row{"127.0.0.12:8023", "records", progress};
    const std::string wide = CProgressBlock::FormatRow(row, 15, 7, 79);
    EXPECT_NE(wide.find("[####"), std::string::npos) << wide;
    EXPECT_NE(wide.find(" 50%  15.6 KiB/s"), std::string::npos) << wide;
    EXPECT_EQ(CProgressBlock::FormatRow(row, 15, 7, 42), "127.0.0.12:8023  records   50%  15.6 KiB/s");
    EXPECT_EQ(CProgressBlock::FormatRow(row, 15, 7, 41), "127.0.0.12:8023  records   50%");
    EXPECT_EQ(CProgressBlock::FormatRow(row, 15, 7, 20), "127.0.0.12:8023  rec");
    // A target at the prompt for volume 2 with all of volume 1 sent: not 100 %, and which
    // volume it waits for.
    row.progress.bytes = row.progress.total;
    row.progress.volume = row.progress.volumes = 2;
    row.progress.waiting = true;
    EXPECT_EQ(CProgressBlock::FormatRow(row, 15, 7, 50), "127.0.0.12:8023  records   99% vol 2/2  31.2 KiB/s");
    // Cut between whole characters: a wide character never loses half of itself.
    EXPECT_EQ(CProgressBlock::Fit("\xE9\x80\x81\xE4\xBF\xA1", 3), "\xE9\x80\x81");
}

} // namespace
