#include "link/AddressText.h"
#include "link/DeviceLink.h"
#include "platform/AbortSignal.h"
#include "platform/LastError.h"

#include "LoopbackPeer.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <future>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

int64_t MsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

constexpr uint32_t kLoopback = 0x7F000001;

// A TCP link opened to a loopback listener, with the instrument's end in m_peer.
class TcpLinkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_link.OpenTcp(kLoopback, m_listener.Port())) << GetLastError();
        m_peer = m_listener.Accept();
        ASSERT_GE(m_peer, 0);
    }
    void TearDown() override
    {
        m_link.Close();
        if (m_peer >= 0)
            close(m_peer);
    }
    void ClosePeer()
    {
        close(m_peer);
        m_peer = -1;
    }

    CLoopbackListener m_listener;
    CDeviceLink m_link{false};
    int m_peer = -1;
};

TEST_F(TcpLinkTest, OpenStoresTheAddressItsTextAndThePort)
{
    EXPECT_FALSE(m_link.UsesUsb());
    EXPECT_EQ(m_link.Address(), kLoopback);
    EXPECT_EQ(m_link.Port(), m_listener.Port());
    EXPECT_STREQ(m_link.AddressText(), "127.0.0.1");
}

TEST_F(TcpLinkTest, ReceiveExactGathersTrickledBytes)
{
    std::thread instrument([&] {
        for (const char* piece : {"MOR", "VE", "NAL\r", "\n"}) {
            WriteAll(m_peer, piece);
            std::this_thread::sleep_for(std::chrono::milliseconds(60));
        }
    });
    char reply[10] = {};
    uint32_t length = 10;
    EXPECT_EQ(m_link.ReceiveExact(reinterpret_cast<uint8_t*>(reply), length, 1000), 0u);
    instrument.join();
    EXPECT_EQ(length, 10u);
    EXPECT_EQ(std::string(reply, 10), "MORVENAL\r\n");
}

TEST_F(TcpLinkTest, ReceiveExactOfNothingReadsNothing)
{
    ASSERT_TRUE(WriteAll(m_peer, "Y"));
    uint8_t byte = 0;
    uint32_t length = 0;
    EXPECT_EQ(m_link.ReceiveExact(&byte, length, 100), 0u);
    EXPECT_EQ(length, 0u);
    length = 1;
    EXPECT_EQ(m_link.ReceiveExact(&byte, length, 1000), 0u);
    EXPECT_EQ(byte, 'Y');
}

TEST_F(TcpLinkTest, ReceiveExactReportsTheBytesBeforeATimeOut)
{
    ASSERT_TRUE(WriteAll(m_peer, "abcd"));
    uint8_t block[10];
    uint32_t length = 10;
    EXPECT_EQ(m_link.ReceiveExact(block, length, 200), kErrorTimeout);
    EXPECT_EQ(length, 4u);
}

// An instrument that goes away mid-reply must end the wait with an error, never loop and
// never report the reply as complete.
TEST_F(TcpLinkTest, ReceiveExactEndsWithAnErrorWhenThePeerCloses)
{
    ASSERT_TRUE(WriteAll(m_peer, "abc"));
    ClosePeer();
    uint8_t block[10];
    uint32_t length = 10;
    const auto start = Clock::now();
    const uint32_t result = m_link.ReceiveExact(block, length, 5000);
    EXPECT_NE(result, 0u);
    EXPECT_NE(result, kErrorTimeout);
    EXPECT_EQ(length, 3u);
    EXPECT_LT(MsSince(start), 1000);
}

struct TextCase {
    std::string text;
    uint32_t maxLength;
    std::string wire;
};

TEST_F(TcpLinkTest, SendTextSendsUpToTheTerminatorOrTheLimit)
{
    const TextCase cases[] = {
        {"MORVENAL\r\n", 100, "MORVENAL\r\n"},
        {"MORVENAL\r\n", 4, "MORV"},
        {"", 100, ""},
        {"abc", 0, ""},
    };
    std::string expected;
    for (const TextCase& c : cases) {
        EXPECT_EQ(m_link.SendText(c.text.c_str(), c.maxLength, 1000), 0u) << c.text;
        expected += c.wire;
    }
    m_link.Close();
    EXPECT_EQ(ReadUpTo(m_peer, 1000, 1000), expected);
}

TEST_F(TcpLinkTest, SendCommandEndsTheLineWithCrLfWithinFiveHundredElevenBytes)
{
    const std::string longText(600, 'Q');
    EXPECT_EQ(m_link.SendCommand(":UP:EXEC"), 0u);
    EXPECT_EQ(m_link.SendCommand(longText.c_str()), 0u);
    m_link.Close();
    const std::string wire = ReadUpTo(m_peer, 2000, 1000);
    EXPECT_EQ(wire, ":UP:EXEC\r\n" + std::string(509, 'Q') + "\r\n");
    EXPECT_EQ(wire.size(), 10u + 511u);
}

TEST_F(TcpLinkTest, SendOfNothingSucceedsAndSendsNothing)
{
    uint32_t length = 0;
    EXPECT_EQ(m_link.Send(reinterpret_cast<const uint8_t*>("abc"), length, 100), 0u);
    EXPECT_EQ(length, 0u);
    m_link.Close();
    EXPECT_EQ(ReadUpTo(m_peer, 10, 500), "");
}

TEST_F(TcpLinkTest, ASecondOpenClosesTheFirstConnection)
{
    ASSERT_TRUE(m_link.OpenTcp(kLoopback, m_listener.Port()));
    const int second = m_listener.Accept();
    ASSERT_GE(second, 0);
    EXPECT_EQ(ReadUpTo(m_peer, 1, 1000), "");  // end of the first connection
    EXPECT_EQ(m_link.SendCommand("X"), 0u);
    EXPECT_EQ(ReadUpTo(second, 3, 1000), "X\r\n");
    close(second);
}

TEST_F(TcpLinkTest, AbortEndsABlockedReceiveAtOnce)
{
    CAbortSignal abort;
    m_link.SetAbortSignal(&abort);
    std::thread ctrlC([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        abort.Trigger();
    });
    uint8_t block[4];
    uint32_t length = 4;
    const auto start = Clock::now();
    EXPECT_EQ(m_link.ReceiveExact(block, length, 10000), static_cast<uint32_t>(ECANCELED));
    const int64_t elapsed = MsSince(start);
    ctrlC.join();
    EXPECT_LT(elapsed, 100 + 100);
    EXPECT_EQ(length, 0u);
    EXPECT_TRUE(m_link.Close());
}

// Outside addresses are checked by their text only, never connected to.
TEST(DeviceLink, AddressTextIsDottedDecimalMostSignificantByteFirst)
{
    const std::pair<uint32_t, const char*> cases[] = {
        {0xC0A80001, "192.168.0.1"}, {0x7F000001, "127.0.0.1"}, {0, "0.0.0.0"},
        {0xFFFFFFFF, "255.255.255.255"}, {0x0A00FF01, "10.0.255.1"},
    };
    for (const auto& [address, text] : cases) {
        char out[32];
        FormatAddressText(address, out, sizeof out);
        EXPECT_STREQ(out, text);
    }
}

// The port is checked before any socket is made, so the default address is never tried;
// the link keeps what the operator typed.
TEST(DeviceLink, OpenTcpRefusesPortsOutsideTheRangeBeforeAnyNetworkActivity)
{
    for (int32_t port : {0, -8023, 65536, 99999}) {
        CDeviceLink link(false);
        SetLastError(0);
        EXPECT_FALSE(link.OpenTcp(0xC0A80001, port));
        EXPECT_EQ(GetLastError(), kErrorInvalidArgument);
        EXPECT_EQ(link.Port(), port);
        EXPECT_EQ(link.Address(), 0xC0A80001u);
        EXPECT_STREQ(link.AddressText(), "192.168.0.1");
        EXPECT_TRUE(link.Close());
    }
}

TEST(DeviceLink, AnOpenOfTheOtherTransportFailsButStoresItsArguments)
{
    CDeviceLink usbLink(true);
    EXPECT_TRUE(usbLink.UsesUsb());
    EXPECT_FALSE(usbLink.OpenTcp(0xC0A80001, 8023));
    EXPECT_EQ(usbLink.Address(), 0xC0A80001u);
    EXPECT_EQ(usbLink.Port(), 8023);
    EXPECT_STREQ(usbLink.AddressText(), "");  // stopped before the text conversion
    EXPECT_TRUE(usbLink.Close());

    CDeviceLink tcpLink(false);
    EXPECT_FALSE(tcpLink.OpenUsb(":IF:ID?", 4));
    EXPECT_EQ(tcpLink.DeviceNumber(), 4);
    EXPECT_TRUE(tcpLink.Close());
    EXPECT_TRUE(tcpLink.Close());
}

TEST(DeviceLink, TransfersOnALinkNeverOpenedFailWithNothingMoved)
{
    CDeviceLink link(false);
    uint8_t block[4];
    uint32_t length = 4;
    EXPECT_NE(link.Receive(block, length, 100), 0u);
    EXPECT_EQ(length, 0u);
    length = 4;
    EXPECT_NE(link.Send(block, length, 100), 0u);
    EXPECT_EQ(length, 0u);
    EXPECT_NE(link.SendCommand(":UP:EXEC"), 0u);
}

}  // namespace
