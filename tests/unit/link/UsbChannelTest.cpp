#include "link/DeviceLink.h"
#include "link/UsbChannel.h"
#include "platform/AbortSignal.h"
#include "platform/LastError.h"

#include "PtyBench.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

int64_t MsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

constexpr const char* kQuery = ":IF:ID?";

struct SearchCase {
    const char* name;
    std::vector<std::string> replies;  // one instrument each, in candidate order; "" silent
    int32_t wanted;
    int kept;  // index of the instrument kept, -1 for none
    uint32_t error;
};

class UsbSearch : public ::testing::TestWithParam<SearchCase> {};

// Whatever the outcome, only the instrument kept may remain open, and each instrument
// that was reached got exactly the query line.
TEST_P(UsbSearch, KeepsTheInstrumentWithTheWantedNumberAndClosesTheRest)
{
    const SearchCase& c = GetParam();
    CPtyBench bench(c.replies);
    bench.UseAsDevices();
    CUsbChannel channel;
    channel.SetIdQuery(kQuery);
    SetLastError(12345);
    EXPECT_EQ(channel.Open(c.wanted), c.kept >= 0);
    EXPECT_EQ(GetLastError(), c.error);
    EXPECT_EQ(channel.Handle() != -1, c.kept >= 0);
    const size_t asked = c.kept >= 0 ? static_cast<size_t>(c.kept) + 1 : bench.Size();
    for (size_t i = 0; i < bench.Size(); ++i) {
        EXPECT_EQ(bench.OpenCount(i), static_cast<int>(i) == c.kept ? 1 : 0) << i;
        EXPECT_EQ(bench.Received(i), i < asked ? ":IF:ID?\r\n" : "") << i;
    }
    channel.Close();
    for (size_t i = 0; i < bench.Size(); ++i)
        EXPECT_EQ(bench.OpenCount(i), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, UsbSearch,
    ::testing::Values(
        SearchCase{"SecondOfTwo", {"MORVENAL3", "MORVENAL0"}, 0, 1, 0},
        SearchCase{"NoneAttached", {}, 0, -1, CUsbChannel::kErrorNoInstrument},
        SearchCase{"OnlyAnotherNumber", {"MORVENAL7"}, 0, -1, CUsbChannel::kErrorNoInstrument},
        SearchCase{"NoDigitsCountAsZero", {"MORVENAL-unit"}, 0, 0, 0},
        SearchCase{"SignAndBlanks", {"MORVENAL  -12,rev4"}, -12, 0, 0},
        SearchCase{"CrDroppedBeforeCounting", {"MORV\rENAL\r2"}, 2, 0, 0},
        SearchCase{"ShortReplyHasNoNumber", {"IDLE", "MORVENAL0"}, 0, 1, 0},
        SearchCase{"ShortReplyMatchesNothing", {"ID"}, 0, -1, CUsbChannel::kErrorNoInstrument},
        SearchCase{"LongReplyIsCutButParsed", {"MORVENAL0" + std::string(291, 'x')}, 0, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(UsbChannel, ASilentInstrumentEndsTheSearchWithEveryHandleClosed)
{
    CPtyBench bench({"MORVENAL3", "", "MORVENAL0"});
    bench.UseAsDevices();
    CUsbChannel channel;
    channel.SetIdQuery(kQuery);
    const auto start = Clock::now();
    EXPECT_FALSE(channel.Open(0));
    EXPECT_EQ(GetLastError(), CUsbChannel::kErrorNoReply);
    EXPECT_GE(MsSince(start), 2000);
    EXPECT_LT(MsSince(start), 4000);
    EXPECT_EQ(channel.Handle(), -1);
    for (size_t i = 0; i < bench.Size(); ++i)
        EXPECT_EQ(bench.OpenCount(i), 0);
    EXPECT_EQ(bench.Received(2), "");  // the search ended at the silent one
}

TEST(UsbChannel, RefusesAQueryThatDoesNotFitTheQueryLine)
{
    CPtyBench bench({"MORVENAL0"});
    bench.UseAsDevices();
    const std::string fits = std::string(60, 'Q') + "?";  // 61 characters
    const std::string tooLong(62, 'Q');
    CUsbChannel channel;
    channel.SetIdQuery(tooLong.c_str());
    EXPECT_FALSE(channel.Open(0));
    EXPECT_EQ(GetLastError(), CUsbChannel::kErrorQueryNotSent);
    EXPECT_EQ(bench.Received(0), "");
    channel.SetIdQuery(nullptr);
    EXPECT_FALSE(channel.Open(0));
    channel.SetIdQuery(fits.c_str());
    EXPECT_TRUE(channel.Open(0));
    EXPECT_EQ(bench.AwaitReceived(0, 63), fits + "\r\n");
}

TEST(UsbChannel, MoreInstrumentsThanTheTableEndTheSearchWithAllClosed)
{
    CPtyBench bench(std::vector<std::string>(CUsbChannel::kMaxInstruments + 1, "MORVENAL5"));
    bench.UseAsDevices();
    CUsbChannel channel;
    channel.SetIdQuery(kQuery);
    EXPECT_FALSE(channel.Open(0));
    EXPECT_EQ(GetLastError(), CUsbChannel::kErrorNoInstrument);
    for (size_t i = 0; i < bench.Size(); ++i)
        ASSERT_EQ(bench.OpenCount(i), 0) << i;
    EXPECT_EQ(bench.Received(CUsbChannel::kMaxInstruments - 1), ":IF:ID?\r\n");
    EXPECT_EQ(bench.Received(CUsbChannel::kMaxInstruments), "");
}

TEST(UsbChannel, ASecondOpenClosesTheInstrumentHeldFirst)
{
    CPtyBench bench({"MORVENAL0", "MORVENAL0"});
    bench.UseAsDevices();
    CUsbChannel channel;
    channel.SetIdQuery(kQuery);
    ASSERT_TRUE(channel.Open(0));
    EXPECT_EQ(bench.OpenCount(0), 1);
    ASSERT_TRUE(channel.Open(0));  // the walk starts over: the same instrument again
    EXPECT_EQ(bench.OpenCount(0), 1);
    EXPECT_EQ(bench.OpenCount(1), 0);
}

// A channel holding the instrument, with the instrument's master side to write lines on.
class UsbLineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_bench.UseAsDevices();
        m_channel.SetIdQuery(kQuery);
        ASSERT_TRUE(m_channel.Open(0));
    }
    void Say(const std::string& bytes) { ASSERT_EQ(write(m_bench.Master(0), bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size())); }

    CPtyBench m_bench{{"MORVENAL0"}};
    CUsbChannel m_channel;
};

TEST_F(UsbLineTest, ReadLineEndsAtLfOrNulDropsCrAndCutsLongLines)
{
    char line[256];
    uint32_t length = sizeof line;
    Say("abc\r\n");
    EXPECT_EQ(m_channel.ReadLine(line, length, 1000), 0u);
    EXPECT_EQ(length, 3u);
    EXPECT_STREQ(line, "abc");

    Say(std::string("d\re", 3) + std::string(1, '\0'));
    length = sizeof line;
    EXPECT_EQ(m_channel.ReadLine(line, length, 1000), 0u);
    EXPECT_STREQ(line, "de");

    Say(std::string(300, 'L') + "\n");
    length = sizeof line;
    EXPECT_EQ(m_channel.ReadLine(line, length, 1000), 0u);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(std::string(line), std::string(255, 'L'));
    uint8_t rest[64];
    uint32_t restLength = sizeof rest;
    EXPECT_EQ(m_channel.Receive(rest, restLength, 1000), 0u);  // the line's rest stays unread
    EXPECT_EQ(rest[0], 'L');

    Say(std::string(44, 'L') + "\n");  // drain what is left of the long line
    length = sizeof line;
    m_channel.ReadLine(line, length, 1000);
    Say("x\ry");  // a CR alone never ends a line
    length = sizeof line;
    EXPECT_EQ(m_channel.ReadLine(line, length, 200), kErrorTimeout);
    EXPECT_EQ(length, 2u);
}

TEST_F(UsbLineTest, SendExactAndReceiveMoveBytesThroughTheLink)
{
    std::string block(5000, '\0');
    for (size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<char>(i);
    uint32_t length = static_cast<uint32_t>(block.size());
    EXPECT_EQ(m_channel.SendExact(reinterpret_cast<const uint8_t*>(block.data()), length, 2000), 0u);
    EXPECT_EQ(length, block.size());
    EXPECT_EQ(m_bench.AwaitReceived(0, 9 + block.size()), ":IF:ID?\r\n" + block);

    length = 0;
    EXPECT_EQ(m_channel.SendExact(reinterpret_cast<const uint8_t*>("x"), length, 100), 0u);
    uint8_t byte = 0;
    length = 1;
    EXPECT_EQ(m_channel.Receive(&byte, length, 150), kErrorTimeout);
    EXPECT_EQ(length, 0u);
}

TEST(UsbLink, OpensByIdentificationAndSpeaksTheProtocol)
{
    CPtyBench bench({"MORVENAL1", "MORVENAL0"});
    bench.UseAsDevices();
    CDeviceLink link(true);
    ASSERT_TRUE(link.OpenUsb(kQuery, 0)) << GetLastError();
    EXPECT_EQ(link.DeviceNumber(), 0);
    EXPECT_EQ(link.SendCommand(":UP:EXEC"), 0u);
    EXPECT_EQ(bench.AwaitReceived(1, 19), ":IF:ID?\r\n:UP:EXEC\r\n");
    ASSERT_EQ(write(bench.Master(1), "MORVENAL\r\n", 10), 10);
    uint8_t reply[10];
    uint32_t length = 10;
    EXPECT_EQ(link.ReceiveExact(reply, length, 2000), 0u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(reply), 10), "MORVENAL\r\n");

    CAbortSignal abort;
    link.SetAbortSignal(&abort);
    std::thread ctrlC([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        abort.Trigger();
    });
    const auto start = Clock::now();
    length = 1;
    EXPECT_EQ(link.ReceiveExact(reply, length, 10000), static_cast<uint32_t>(ECANCELED));
    EXPECT_LT(MsSince(start), 200);
    ctrlC.join();
    EXPECT_TRUE(link.Close());
    EXPECT_EQ(bench.OpenCount(1), 0);
    EXPECT_TRUE(link.Close());
}

TEST(UsbProbe, ReportsEveryInstrumentWithItsNumberAndClosesThemAll)
{
    CPtyBench bench({"MORVENAL3", "MORVENAL0", "", "ID"});
    bench.UseAsDevices();
    const std::vector<UsbInstrument> found = CUsbChannel::Probe(":OPT:ID?");
    ASSERT_EQ(found.size(), 4u);
    for (size_t i = 0; i < found.size(); ++i) {
        EXPECT_EQ(found[i].path, bench.SlavePath(i));
        EXPECT_EQ(bench.Received(i), ":OPT:ID?\r\n");
        EXPECT_EQ(bench.OpenCount(i), 0);
    }
    EXPECT_EQ(found[0].reply, "MORVENAL3");
    EXPECT_TRUE(found[0].hasNumber);
    EXPECT_EQ(found[0].deviceNumber, 3);
    EXPECT_EQ(found[1].deviceNumber, 0);
    EXPECT_EQ(found[1].error, 0u);
    EXPECT_EQ(found[2].error, CUsbChannel::kErrorNoReply);
    EXPECT_EQ(found[3].error, 0u);
    EXPECT_FALSE(found[3].hasNumber);

    setenv("ZORFLASH_USB_DEVICES", "", 1);
    EXPECT_TRUE(CUsbChannel::Probe(kQuery).empty());
}

}  // namespace
