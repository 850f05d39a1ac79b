#include "RecordingHost.h"
#include "UpdateFileBuilder.h"

#include "present/DisplayWidth.h"
#include "cli/output/JsonEvents.h"
#include "cli/diagnose/LinkTrace.h"
#include "present/ProgressLine.h"
#include "cli/run/TargetAddress.h"
#include "cli/output/LineConsole.h"
#include "cli/run/TargetRun.h"
#include "platform/OutputQueue.h"
#include "update/StatusLog.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <tuple>

using namespace zorflash;

using namespace testsupport;

namespace {

// A dotted address with an optional port; what no instrument can be reached at is a usage
// error that says what is wrong with the text, before any link: a port outside 1..65535 (it
// once failed later with "success" as its reason), the unspecified, broadcast and multicast
// addresses, a second colon, and IPv6, which the instruments do not speak.
TEST(TargetAddress, DottedAddressAndOptionalPortOrWhatIsWrongWithTheText)
{
    const std::tuple<const char*, uint32_t, int32_t> good[] = {
        {"127.0.0.1", 0x7F000001u, 8023}, {"10.0.0.25:80", 0x0A000019u, 80}, {"127.0.0.1:65535", 0x7F000001u, 65535}};
    for (const auto& [text, expectedAddress, expectedPort] : good) {
        uint32_t address = 0;
        int32_t port = 0;
        std::string error;
        ASSERT_TRUE(ParseTargetAddress(text, address, port, error)) << text;
        EXPECT_EQ(address, expectedAddress) << text;
        EXPECT_EQ(port, expectedPort) << text;
    }
    const std::pair<const char*, const char*> bad[] = {
        {"127.0.0.1:0", "the port must be 1 to 65535, not 0"},
        {"127.0.0.1:65536", "the port must be 1 to 65535, not 65536"},
        {"127.0.0.1:80235", "not 80235"},
        {"127.0.0.1:2147483647", "not 2147483647"},
        {"127.0.0.1:99999999999", "not 99999999999"},
        {"0.0.0.0", "unspecified address"},
        {"0.0.0.0:8023", "unspecified address"},
        {"255.255.255.255", "broadcast address"},
        {"224.0.0.1", "multicast"},
        {"239.255.255.250:1900", "multicast"},
        {"127.0.0.1:80:90", "more than one ':' in '127.0.0.1:80:90'"},
        {"[::1]:8023", "IPv6 is not supported by the instruments"},
        {"::1", "IPv6 is not supported by the instruments"},
        {"fe80::1", "IPv6 is not supported by the instruments"},
        {"::ffff:127.0.0.1", "IPv6 is not supported by the instruments"},
        {"", ""}, {"1.2.3", ""}, {"1.2.3.4.5", ""}, {"256.0.0.1", ""}, {"1.2.3.x", ""}, {"a.b.c.d", ""},
        {"1.2.3.4:", ""}, {"1.2.3.4:8o", ""}, {"1..2.3", ""}, {"1.2.3.4:99999999999", ""},
    };
    for (const auto& [text, reason] : bad) {
        uint32_t address = 0;
        int32_t port = 0;
        std::string error;
        EXPECT_FALSE(ParseTargetAddress(text, address, port, error)) << text;
        EXPECT_NE(error.find(reason), std::string::npos) << text << ": " << error;
        if (std::string(reason).find("IPv6") == std::string::npos)
            EXPECT_EQ(error.find("IPv6"), std::string::npos) << text << ": " << error;
    }
}

UpdateProgress Sent(uint64_t bytes, uint64_t total, double seconds)
{
    UpdateProgress p;
    p.bytes = bytes;
    p.total = total;
    p.seconds = seconds;
    return p;
}

// The same on a JSON line: every control is an escape (DEL and C1 CSI too, which the JSON
// library leaves raw), invalid UTF-8 a U+FFFD, and the rest of the text as it came.
TEST(JsonEvents, ControlCharactersEscapedAndInvalidUtf8Replaced)
{
    EXPECT_EQ(CJsonEvents::Dump({{"text", "a\x7f" "b\xc2\x9b" "2J\x1b \xc2\xa0\xff\xe2\x82"}}),
              "{\"text\":\"a\\u007fb\\u009b2J\\u001b \xc2\xa0\xef\xbf\xbd\xef\xbf\xbd\"}");
}

TEST(ProgressLine, FitsEveryWidthInColumnsNotBytes)
{
    // Japanese takes two columns a character: counted by bytes it would look three times wider.
    EXPECT_EQ(CDisplayWidth::Of("レコード（65）を送信しています。"), 32);
    EXPECT_EQ(CDisplayWidth::Truncate("レコード", 5), "レコ");
    for (const char* status : {"Sending (2945) Record", "レコード（2945）を送信しています。"}) {
        for (int columns : {10, 40, 60, 80, 200}) {
            const std::string line = CProgressLine::Fit(status, Sent(3000, 1000, 1.0), columns);
            EXPECT_LT(CDisplayWidth::Of(line), columns) << columns << ": " << line;
            if (columns >= 80) {
                EXPECT_NE(line.find("99% 2.9 KiB/1000 B"), std::string::npos) << line;  // never past full
            }
        }
    }
    EXPECT_EQ(CProgressLine::Fit("Sending (1) Record", Sent(512 * 1024, 1024 * 1024, 2.0), 80),
              "Sending (1) Record  [#####......]  50% 512.0 KiB/1.0 MiB 256.0 KiB/s 00:02 left");
    EXPECT_EQ(CProgressLine::Fit("S", Sent(0, 1000, 0.0), 40), "S  [..................]   0% 0 B/1000 B");
    EXPECT_EQ(CProgressLine::Summary(3 * 1024 * 1024, 4096, 2.0, Language::English), "Sent 3.0 MiB (4096 records) in 2.0 s, average 1.5 MiB/s");
}

// Volume 1 of a two-volume file sent whole, volume 2 asked for: the line says which
// volume, stays below 100 % and gives no time left; the last END makes it 100 %.
TEST(ProgressLine, NeverFullBeforeTheLastEndAndSaysWhichVolume)
{
    UpdateProgress p = Sent(775884, 775884, 2.0);
    p.volume = p.volumes = 2;
    p.waiting = true;
    EXPECT_EQ(CProgressLine::Fit("Sending (3009) Record", p, 100),
              "Sending (3009) Record  [#################.]  99% vol 2/2 757.7 KiB/757.7 KiB 378.8 KiB/s --:-- left");
    p.finished = true;
    EXPECT_NE(CProgressLine::Fit("Sending (3009) Record", p, 100).find("100% vol 2/2"), std::string::npos);
}

// The terminal echo: finished lines once each, the progress line only on a terminal.
class TerminalEcho : public ::testing::Test {
protected:
    std::string Run(bool interactive)
    {
        std::FILE* out = std::tmpfile();
        if (!out)
            return "(no temporary file)";
        {
            UpdateSettings settings;
            CRunConsole::Options look;
            look.interactive = interactive;
            CTargetRun::Options options;
            options.totalBytes = 1000;
            COutputQueue output;
            CLineConsole console(look, output, out, stderr);
            CTargetRun host("", settings, Language::English, console, options);
            CStatusLog log(host);
            log.Clear();
            log.Append("Opening File...\r\n");
            log.Append("Sending START record...\r\n");
            log.ReplaceLastLine("Sending (1) Record");
            log.ReplaceLastLine("Sending (65) Record");
            log.Append("Sending START record...\r\n");  // a second section, straight behind the progress text
            log.ReplaceLastLine("Sending (1) Record");
            log.Append("Sending START record...\r\n");  // and a third behind its first progress text
            log.ReplaceLastLine("Sending (1) Record");
            log.Append("\r\nTransfer completed.\r\n");
            host.Finish();
            text = host.StatusText();
            output.Flush(std::chrono::seconds(10));
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
    // The live output breaks the line after a replaced progress text; the status text keeps
    // the status box's own text, which a status file must reproduce byte for byte.
    EXPECT_EQ(Run(false), "Opening File...\nSending START record...\nSending (65) Record\nSending START record...\n"
                          "Sending (1) Record\nSending START record...\nSending (1) Record\nTransfer completed.\n");
    EXPECT_EQ(text, "Opening File...\r\nSending START record...\r\nSending (65) RecordSending START record...\r\n"
                    "Sending (1) RecordSending START record...\r\nSending (1) Record\r\nTransfer completed.\r\n");
}

// What a terminal shows once it has taken the bytes: each line as its last rewrite left it.
std::vector<std::string> Screen(const std::string& printed)
{
    std::vector<std::string> lines(1);
    for (std::size_t at = 0; at < printed.size();) {
        if (printed.compare(at, 4, "\r\033[K") == 0) {
            lines.back().clear();
            at += 4;
        } else if (printed[at] == '\n') {
            lines.emplace_back();
            ++at;
        } else {
            lines.back() += printed[at++];
        }
    }
    return lines;
}

TEST_F(TerminalEcho, ProgressLineRewrittenInPlaceOnATerminal)
{
    // However the redraws fell in time (each waits for the last to reach the terminal),
    // every line ends on the screen once, in order, and nothing is left on the line in
    // progress.
    const std::vector<std::string> screen = Screen(Run(true));
    const char* expected[] = {"Opening File...", "Sending START record...", "Sending (65) Record",
                              "Sending START record...", "Sending (1) Record", "Sending START record...",
                              "Sending (1) Record", "Transfer completed.", ""};
    ASSERT_EQ(screen.size(), std::size(expected)) << Run(true);
    for (std::size_t i = 0; i < screen.size(); ++i)
        EXPECT_EQ(screen[i].rfind(expected[i], 0), 0u) << i << ": " << screen[i];
    // A bar, where one was drawn, rides behind its status text and shows the run's total.
    for (const std::string& line : screen) {
        if (line.find('[') != std::string::npos) {
            EXPECT_NE(line.find("% 0 B/1000 B"), std::string::npos) << line;
        }
    }
}

}  // namespace
