// The Windows device back end: which ports it tries, and that nothing but a serial port
// is ever opened as an instrument (a file or a device named in the list is not written).

#include "UpdateFileBuilder.h"

#include "link/UsbChannel.h"
#include "platform/LastError.h"
#include "platform/PathText.h"
#include "usb/UsbCandidates.h"
#include "usb/Vavuziz.h"

#include <gtest/gtest.h>

using namespace zorflash;
using testsupport::TempDir;

namespace {

class UsbDevicesVariable {
public:
    explicit UsbDevicesVariable(const std::string& value) { _putenv_s("ZORFLASH_USB_DEVICES", value.c_str()); }
    ~UsbDevicesVariable() { _putenv_s("ZORFLASH_USB_DEVICES", ""); }
};

}  // namespace

TEST(ComPortList, NamesSeparatedBySemicolonsBecomeDevicePathsInTheOrderGiven)
{
    const std::vector<std::string> expected = {"\\\\.\\COM7", "\\\\.\\com3", "\\\\.\\COM12"};
    EXPECT_EQ(ExpandUsbCandidates("COM7; com3;;\\\\.\\COM12;"), expected);
    EXPECT_TRUE(ExpandUsbCandidates("").empty());
    EXPECT_TRUE(ExpandUsbCandidates(" ; ").empty());
    {
        UsbDevicesVariable set("COM9;COM4");
        EXPECT_EQ(UsbCandidatesDescription(), "COM9;COM4");
        EXPECT_EQ(UsbCandidatePaths(), (std::vector<std::string>{"\\\\.\\COM9", "\\\\.\\COM4"}));
    }
}

TEST(ComPortList, WhatIsNoSerialPortIsSkippedAndNeverWritten)
{
    TempDir dir;
    const std::string victim = Utf8FromPath(dir.Path() / "victim.txt");
    {
        std::ofstream out(PathFromUtf8(victim), std::ios::binary);
        out << "keep me";
    }
    // A file, the null device and a port that does not exist: none is an instrument.
    UsbDevicesVariable set(victim + ";NUL;COM250");
    SetLastError(0);
    EXPECT_EQ(VavUZIz_OpenDevice(), -1);
    EXPECT_NE(GetLastError(), 0u);
    // The probe's reasons come from its own search.
    std::vector<SkippedUsbCandidate> skipped;
    EXPECT_TRUE(CUsbChannel::Probe(":IF:ID?", nullptr, &skipped).empty());
    ASSERT_EQ(skipped.size(), 3u);
    EXPECT_EQ(skipped[0].reason, "not a COM port");
    EXPECT_EQ(skipped[1].reason, "not a COM port");
    EXPECT_EQ(skipped[2].reason, "no such port");
    std::ifstream in(PathFromUtf8(victim), std::ios::binary);
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(content, "keep me");

    uint32_t moved = 99;
    uint8_t byte = 0;
    EXPECT_EQ(VavUZIz_ReadDevice(12345, &byte, 1, &moved, 10), 0);
    EXPECT_EQ(GetLastError(), kErrorBadHandle);
    EXPECT_EQ(moved, 0u);
}
