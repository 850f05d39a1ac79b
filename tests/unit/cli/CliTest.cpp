#include "UpdateFileBuilder.h"

#include "cli/FileCheck.h"
#include "cli/PrintableText.h"
#include "update/ProgressLine.h"
#include "cli/TargetAddress.h"
#include "cli/TerminalHost.h"
#include "update/StatusLog.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <thread>

using namespace zorflash;

using namespace testsupport;

namespace {

TEST(TargetAddress, DottedAddressAndOptionalPort)
{
    uint32_t address = 0;
    int32_t port = 0;
    std::string error;
    ASSERT_TRUE(ParseTargetAddress("127.0.0.1", address, port, error));
    EXPECT_EQ(address, 0x7F000001u);
    EXPECT_EQ(port, 8023);
    ASSERT_TRUE(ParseTargetAddress("10.0.0.25:80", address, port, error));
    EXPECT_EQ(address, 0x0A000019u);
    EXPECT_EQ(port, 80);
    // Out-of-range ports are kept as typed; the link refuses them like the desktop's do.
    ASSERT_TRUE(ParseTargetAddress("127.0.0.1:70000", address, port, error));
    EXPECT_EQ(port, 70000);
    for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "256.0.0.1", "1.2.3.x", "a.b.c.d", "1.2.3.4:", "1.2.3.4:8o",
                            "1..2.3", "1.2.3.4:99999999999"})
        EXPECT_FALSE(ParseTargetAddress(bad, address, port, error)) << bad;
}

// What an instrument or a file name holds reaches the terminal only as visible text.
TEST(PrintableText, ControlCharactersAreShownEscaped)
{
    EXPECT_EQ(PrintableText("MORVENAL0\x1b]0;owned\x07\x1b[2J"), "MORVENAL0\\x1b]0;owned\\x07\\x1b[2J");
    EXPECT_EQ(PrintableText(std::string("a\r\n\0\x7f\\", 6)), "a\\x0d\\x0a\\x00\\x7f\\\\");
    EXPECT_EQ(PrintableText("ファイル 1.R71"), "ファイル 1.R71");
}

TEST(ProgressLine, ShowsBytesRateAndTimeLeftWithoutRunningPastFull)
{
    EXPECT_EQ(CProgressLine::Format(512 * 1024, 1024 * 1024, 2.0, 10),
              "[#####.....]  50% 512.0 KiB/1.0 MiB 256.0 KiB/s 00:02 left");
    EXPECT_EQ(CProgressLine::Format(3000, 1000, 1.0, 4), "[####] 100% 2.9 KiB/1000 B 2.9 KiB/s 00:00 left");
    EXPECT_EQ(CProgressLine::Format(0, 1000, 0.0, 4), "[....]   0% 0 B/1000 B 0 B/s --:-- left");
    EXPECT_EQ(CProgressLine::FormatDuration(3725), "1:02:05");
}

// The terminal echo: finished lines once each, the progress line only on a terminal.
class TerminalEcho : public ::testing::Test {
protected:
    std::string Run(bool interactive, unsigned pauseMicros = 0)
    {
        std::FILE* out = std::tmpfile();
        if (!out)
            return "(no temporary file)";
        {
            UpdateSettings settings;
            CTerminalHost::Options options;
            options.interactive = interactive;
            options.totalBytes = 1000;
            CTerminalHost host(settings, options, out, stderr);
            CStatusLog log(host);
            log.Clear();
            log.Append("Opening File...\r\n");
            log.Append("Sending START record...\r\n");
            log.ReplaceLastLine("Sending (1) Record");
            std::this_thread::sleep_for(std::chrono::microseconds(pauseMicros));  // the line in progress is redrawn at most ten times a second
            log.ReplaceLastLine("Sending (65) Record");
            log.Append("\r\nTransfer completed.\r\n");
            host.Finish();
            text = host.StatusText();
        }
        std::string printed;
        std::rewind(out);
        char block[4096];
        for (size_t n; (n = std::fread(block, 1, sizeof block, out)) > 0;)
            printed.append(block, n);
        std::fclose(out);
        return printed;
    }
    std::string text;
};

TEST_F(TerminalEcho, PlainLinesWhenNotATerminal)
{
    EXPECT_EQ(Run(false), "Opening File...\nSending START record...\nSending (65) Record\nTransfer completed.\n");
    EXPECT_EQ(text, "Opening File...\r\nSending START record...\r\nSending (65) Record\r\nTransfer completed.\r\n");
}

TEST_F(TerminalEcho, ProgressLineRewrittenInPlaceOnATerminal)
{
    const std::string printed = Run(true, 150000);
    EXPECT_NE(printed.find("\r\033[KSending (65) Record"), std::string::npos);
    EXPECT_NE(printed.find("Transfer completed.\n"), std::string::npos);
    EXPECT_NE(printed.find("% "), std::string::npos);  // the bar rides behind the progress text
}

class Inspection : public ::testing::Test {
protected:
    Inspection()
    {
        ApplyNewDocumentDefaults(settings);
        ApplyModelSelection(settings, 0);
        settings.filePath = dir / "fw1.R71";
    }
    void WriteVolume(int volume, const std::string& kind, const Bytes& stream)
    {
        Bytes file = Header(HeaderLine("RT71", kind), volume);
        Append(file, stream);
        WriteFile(dir / ("fw" + std::to_string(volume) + ".R71"), file);
    }
    TempDir dir;
    UpdateSettings settings;
};

TEST_F(Inspection, FirstProblemIsNamedWithItsPlace)
{
    Bytes stream = Section(10, 1);
    stream[16 * 4 + 15] ^= 0x01;  // one flipped bit in the checksum of record 4
    WriteVolume(1, "MAIN", stream);
    CFileCheck::Report r = CFileCheck::Inspect(settings, Language::English);
    EXPECT_FALSE(r.complete);
    EXPECT_EQ(r.problem, "Incorrect Check Sum.");
    EXPECT_EQ(r.where, "section 1, record 4 (volume 1, offset 120)");

    stream = Section(10, 1);
    stream.pop_back();
    WriteVolume(1, "MAIN", stream);
    r = CFileCheck::Inspect(settings, Language::English);
    EXPECT_EQ(r.problem, "nsert Disk 2");

    settings.model = g_deviceModelTable[2];
    r = CFileCheck::Inspect(settings, Language::English);
    EXPECT_EQ(r.problem, "Invalid ROM Type.");
}

}  // namespace
