#include "present/SummaryTable.h"
#include "present/DisplayWidth.h"

#include <gtest/gtest.h>

#include <iterator>
#include <set>
#include <sstream>

using namespace zorflash;

namespace {

using Verdict = CSummaryTable::Verdict;

CSummaryTable::Row RowOf(const std::string& target, Verdict verdict, const std::string& outcome = "completed")
{
    return {target, verdict, outcome, 3000, 786432, 1.5};
}

const std::vector<CSummaryTable::Row> kRows = {
    RowOf("127.0.0.1:8023", Verdict::Completed),
    {"127.0.0.12:8023", Verdict::Failed, "no reply at the header", 0, 0, 10.0},
    RowOf("usb:3", Verdict::Cancelled, "cancelled at the disk prompt")};

TEST(SummaryTableTest, OneAlignedRowPerTargetAndACountLine)
{
    EXPECT_EQ(CSummaryTable::Format(kRows, {}),
              "target           outcome                       records      bytes    time         rate\n"
              "127.0.0.1:8023   completed                        3000  768.0 KiB   1.5 s  512.0 KiB/s\n"
              "127.0.0.12:8023  no reply at the header              0        0 B  10.0 s            -\n"
              "usb:3            cancelled at the disk prompt     3000  768.0 KiB   1.5 s  512.0 KiB/s\n"
              "3 targets: 1 completed, 1 failed, 1 cancelled\n");
    EXPECT_EQ(CSummaryTable::Format({kRows[1]}, {Language::Japanese, 0, false}),
              "ターゲット       結果                    レコード  バイト    時間  速度\n"
              "127.0.0.12:8023  no reply at the header         0     0 B  10.0 s     -\n"
              "ターゲット 1 台: 完了 0、失敗 1\n");
}

// On a terminal the table loses the rate, then the time, then the bytes, whole, until it
// fits; completed rows are green and failed ones red.
TEST(SummaryTableTest, FitsTheTerminalByDroppingWholeColumns)
{
    const auto firstRow = [](const std::string& table) {
        const std::size_t from = table.find('\n') + 1;
        return table.substr(from, table.find('\n', from) - from);
    };
    const std::vector<std::pair<int, const char*>> cases = {
        {87, "512.0 KiB/s"}, {86, "1.5 s"}, {73, "768.0 KiB"}, {65, "3000"}, {40, "completed"}};
    for (const auto& [width, last] : cases) {
        const std::string row = firstRow(CSummaryTable::Format(kRows, {Language::English, width, false}));
        EXPECT_EQ(row.substr(row.size() - std::string(last).size()), last) << width << ": " << row;
    }
    for (Language language : {Language::English, Language::Japanese}) {
        std::istringstream all(CSummaryTable::Format(kRows, {language, 0, false}));
        const std::set<std::string> whole{std::istream_iterator<std::string>(all), std::istream_iterator<std::string>()};
        for (int width : {30, 60, 80, 120}) {
            std::istringstream lines(CSummaryTable::Format(kRows, {language, width, false}));
            for (std::string line, word; std::getline(lines, line);) {
                EXPECT_LT(CDisplayWidth::Of(line), width) << line;
                for (std::istringstream words(line); words >> word;)
                    EXPECT_TRUE(whole.count(word)) << "'" << word << "' cut in: " << line;
            }
        }
    }
    const std::string coloured = CSummaryTable::Format(kRows, {Language::English, 120, true});
    EXPECT_NE(coloured.find("\n\033[32m127.0.0.1:8023 "), std::string::npos) << coloured;
    EXPECT_NE(coloured.find("\n\033[31m127.0.0.12:8023 "), std::string::npos) << coloured;
    EXPECT_NE(coloured.find("\nusb:3 "), std::string::npos) << coloured;
}

} // namespace
