#include "cli/output/SummaryTable.h"

#include <gtest/gtest.h>

using namespace zorflash;

namespace {

using Verdict = CSummaryTable::Verdict;

CSummaryTable::Row RowOf(const std::string& target, Verdict verdict, const std::string& outcome = "completed")
{
    return {target, verdict, outcome, 3000, 786432, 1.5};
}

TEST(SummaryTableTest, OneAlignedRowPerTargetAndACountLine)
{
    const std::string table = CSummaryTable::Format(
        {RowOf("127.0.0.1:8023", Verdict::Completed),
         {"127.0.0.12:8023", Verdict::Failed, "no reply at the header", 0, 0, 10.0},
         RowOf("usb:3", Verdict::Cancelled, "cancelled at the disk prompt")});
    EXPECT_EQ(table,
              "target           outcome                       records      bytes    time         rate\n"
              "127.0.0.1:8023   completed                        3000  768.0 KiB   1.5 s  512.0 KiB/s\n"
              "127.0.0.12:8023  no reply at the header              0        0 B  10.0 s            -\n"
              "usb:3            cancelled at the disk prompt     3000  768.0 KiB   1.5 s  512.0 KiB/s\n"
              "3 targets: 1 completed, 1 failed, 1 cancelled\n");
}

} // namespace
