#include "cli/run/TargetList.h"

#include "UpdateFileBuilder.h"

#include <gtest/gtest.h>

using namespace zorflash;

namespace {

// The targets a command line or a targets file names, or why it is refused.
struct TargetsCase {
    const char* name;
    std::vector<std::string> tcp;
    const char* usbNumbers;   // nullptr: none
    const char* file;         // the targets file's text; nullptr: none
    std::vector<std::string> targets;  // empty: refused
    const char* reason;
};

class TargetListTest : public ::testing::TestWithParam<TargetsCase> {};

TEST_P(TargetListTest, NamesEveryInstrumentOnceInTheOrderGiven)
{
    const TargetsCase& c = GetParam();
    CTargetList list;
    std::string error;
    bool ok = true;
    for (const std::string& tcp : c.tcp)
        ok = ok && list.AddTcp(tcp, error);
    if (ok && c.usbNumbers)
        ok = list.AddUsbNumbers(c.usbNumbers, error);
    if (ok && c.file)
        ok = list.AddLines(c.file, "targets.txt", error);
    ASSERT_EQ(ok, !c.targets.empty()) << error;
    if (!ok) {
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
        return;
    }
    std::vector<std::string> names;
    for (const FleetTarget& target : list.Targets())
        names.push_back(target.Name());
    EXPECT_EQ(names, c.targets);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TargetListTest,
    ::testing::Values(
        TargetsCase{"RepeatedTcp", {"127.0.0.1", "127.0.0.2:9000"}, nullptr, nullptr,
                    {"127.0.0.1:8023", "127.0.0.2:9000"}, ""},
        TargetsCase{"UsbNumbers", {}, "0,3,12", nullptr, {"usb:0", "usb:3", "usb:12"}, ""},
        TargetsCase{"FileWithCommentsBlanksAndCrLf", {"127.0.0.9"}, nullptr,
                    "# line 1\r\n127.0.0.1:8024   # bench A\r\n\n   \t\nusb:2\r\n127.0.0.3",
                    {"127.0.0.9:8023", "127.0.0.1:8024", "usb:2", "127.0.0.3:8023"}, ""},
        TargetsCase{"EmptyFileNamesNobody", {"127.0.0.1"}, nullptr, "# nothing yet\n", {"127.0.0.1:8023"}, ""},
        // One instrument twice would take two interleaved updates on one link.
        TargetsCase{"SameAddressTwice", {"127.0.0.1"}, nullptr, "127.0.0.1:8023\n", {}, "targets.txt:1: 127.0.0.1:8023 is named twice"},
        TargetsCase{"SameUsbTwice", {}, "1,1", nullptr, {}, "usb:1 is named twice"},
        // The same instrument however it is written: compared as parsed, not as text.
        TargetsCase{"SameAddressWrittenTwoWays", {"127.000.000.001"}, nullptr, "127.0.0.1:8023\n", {},
                    "targets.txt:1: 127.0.0.1:8023 is named twice"},
        // An editor's "UTF-8 with BOM": the invisible mark is no part of the first address.
        TargetsCase{"ByteOrderMarkSkipped", {}, nullptr, "\xEF\xBB\xBF" "127.0.0.1\n127.0.0.2\n", {"127.0.0.1:8023", "127.0.0.2:8023"}, ""},
        // Ranges as the simulator serves them: addresses outer, ports inner, in order.
        TargetsCase{"RangesExpandInOrder", {"127.0.0.1-127.0.0.2:9000-9001"}, nullptr, "127.0.0.7-127.0.0.8\n",
                    {"127.0.0.1:9000", "127.0.0.1:9001", "127.0.0.2:9000", "127.0.0.2:9001", "127.0.0.7:8023",
                     "127.0.0.8:8023"}, ""},
        TargetsCase{"RangeOverlappingANamedTarget", {"127.0.0.2"}, nullptr, "127.0.0.1-127.0.0.3\n", {},
                    "targets.txt:1: 127.0.0.2:8023 is named twice"},
        TargetsCase{"RangeBackwards", {"127.0.0.3-127.0.0.1"}, nullptr, nullptr, {}, "runs backwards"},
        TargetsCase{"RangeTooLarge", {"10.0.0.0-10.0.4.0:8023"}, nullptr, nullptr, {}, "names 1025 instruments"},
        TargetsCase{"RangeIntoMulticast", {"223.255.255.255-224.0.0.0"}, nullptr, nullptr, {}, "multicast"},
        TargetsCase{"RangeEndMistyped", {}, nullptr, "127.0.0.1-127.0.0:80\n", {},
                    "targets.txt:1: in the range '127.0.0.1-127.0.0:80': the address must be four numbers"},
        TargetsCase{"BadLineIsNamedByNumber", {}, nullptr, "127.0.0.1\n127.0.0\n", {}, "targets.txt:2: the address must be four numbers"},
        TargetsCase{"BadUsbLine", {}, nullptr, "usb:x\n", {}, "targets.txt:1: usb:N wants a device number"},
        TargetsCase{"NegativeUsb", {}, "-1", nullptr, {}, "--usb-number wants"},
        TargetsCase{"EmptyUsbItem", {}, "1,,2", nullptr, {}, "--usb-number wants"},
        TargetsCase{"LongLine", {}, nullptr, "# xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\n", {}, "longer than 256"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TargetListFileTest, AFileTooLargeOrMissingIsRefusedWithItsName)
{
    testsupport::TempDir dir;
    CTargetList list;
    std::string error;
    EXPECT_FALSE(list.AddFile(dir / "absent.txt", error));
    EXPECT_NE(error.find("absent.txt"), std::string::npos) << error;

    {
        std::ofstream big(dir / "big.txt");
        for (int i = 0; i < 70000; ++i)
            big << "# a comment line\n";
    }
    EXPECT_FALSE(list.AddFile(dir / "big.txt", error));
    EXPECT_NE(error.find("larger than 1 MiB"), std::string::npos) << error;

    // More addresses than one command serves.
    {
        std::ofstream many(dir / "many.txt");
        for (int i = 0; i < 300; ++i)
            many << "127.0." << i / 256 << "." << i % 256 << "\n";
    }
    EXPECT_FALSE(list.AddFile(dir / "many.txt", error));
    EXPECT_NE(error.find("many.txt:257: more than 256 targets"), std::string::npos) << error;
}

} // namespace
