#include "link/DeviceLink.h"
#include "link/TcpChannel.h"
#include "platform/AbortSignal.h"
#include "platform/LastError.h"

#include "LinkBench.h"

#include <gtest/gtest.h>

#include <sys/ioctl.h>

#include <cerrno>
#include <future>
#include <memory>
#include <tuple>
#include <utility>

using namespace zorflash;

namespace {

using namespace std::chrono_literals;

constexpr uint32_t kLoopback = 0x7F000001;

// The host's end, opened by Open() to a loopback listener, with the instrument's end in m_peer.
class LoopbackPeerTest : public ::testing::Test {
protected:
    virtual bool Open() = 0;
    void SetUp() override
    {
        ASSERT_TRUE(Open()) << GetLastError();
        m_peer = m_listener.Accept();
        ASSERT_GE(m_peer, 0);
    }
    void TearDown() override { close(m_peer); }

    CLoopbackListener m_listener;
    int m_peer = -1;
};

class TcpChannelTest : public LoopbackPeerTest {
protected:
    bool Open() override { return m_channel.Create() && m_channel.Connect("127.0.0.1", m_listener.Port()); }
    CTcpChannel m_channel;
};

TEST_F(TcpChannelTest, ServesWhatOneSocketReadBroughtFromTheRing)
{
    ASSERT_TRUE(WriteAll(m_peer, "0123456789"));
    int pending = 0;  // all ten held by the kernel, so that one socket read takes them all
    for (int i = 0; i < 400 && pending < 10; ++i) {
        std::this_thread::sleep_for(5ms);
        ioctl(m_channel.Socket(), FIONREAD, &pending);
    }
    ASSERT_EQ(pending, 10);
    uint64_t readsAfterFirst = 0;
    for (char expected : std::string("0123456789")) {
        uint8_t byte = 0;
        uint32_t length = 1;
        ASSERT_EQ(m_channel.Receive(&byte, length, 1000), 0u);
        ASSERT_EQ(length, 1u);
        EXPECT_EQ(byte, expected);
        readsAfterFirst = expected == '0' ? m_channel.SocketReads() : readsAfterFirst;
    }
    EXPECT_EQ(m_channel.SocketReads(), readsAfterFirst);
}

TEST_F(TcpChannelTest, ReceiveTimeOutAnswers258WithNothingAndLosesNothingLater)
{
    uint8_t block[16];
    uint32_t length = sizeof block;
    const auto start = Clock::now();
    EXPECT_EQ(m_channel.Receive(block, length, 150), kErrorTimeout);
    EXPECT_GE(MsSince(start), 150);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(GetLastError(), kErrorTimeout);

    ASSERT_TRUE(WriteAll(m_peer, "late"));
    length = sizeof block;
    ASSERT_EQ(m_channel.Receive(block, length, 1000), 0u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(block), length), "late");
}

// An instrument that stops reading blocks our sends: every wait of a send (for the lock,
// for room) ends at its time-out, or at once on abort, and leaves the lock free.
TEST_F(TcpChannelTest, BlockedSendsEndAtTheirTimeOutOrOnAbortAndReleaseTheLock)
{
    const int small = 4096;
    setsockopt(m_channel.Socket(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    setsockopt(m_peer, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    CAbortSignal abort;
    m_channel.SetAbortSignal(&abort);
    const std::vector<uint8_t> big(8 * 1024 * 1024, 0x38);
    const auto send = [&](const uint8_t* data, uint32_t length, uint32_t timeout) {
        const auto start = Clock::now();
        const uint32_t result = m_channel.Send(data, length, timeout);
        return std::make_tuple(result, length, MsSince(start));
    };
    const auto [timedOut, timedOutLength, timedOutMs] = send(big.data(), static_cast<uint32_t>(big.size()), 200);
    EXPECT_EQ(timedOut, kErrorTimeout);
    EXPECT_EQ(timedOutLength, 0u);
    EXPECT_GE(timedOutMs, 200);
    EXPECT_LT(timedOutMs, 2000);

    auto blocked = std::async(std::launch::async, send, big.data(), static_cast<uint32_t>(big.size()), 10000u);
    std::this_thread::sleep_for(200ms);
    const auto [waited, waitedLength, waitedMs] = send(big.data(), 1, 100);  // the lock is held
    EXPECT_EQ(waited, kErrorTimeout);
    EXPECT_EQ(waitedLength, 0u);
    EXPECT_LT(waitedMs, 1000);
    const auto triggered = Clock::now();
    abort.Trigger();
    EXPECT_EQ(std::get<0>(blocked.get()), static_cast<uint32_t>(ECANCELED));
    EXPECT_LT(MsSince(triggered), 100);

    // The instrument reads again: a send from another thread gets the lock and goes out.
    m_channel.SetAbortSignal(nullptr);
    auto drained = std::async(std::launch::async, [&] { return ReadUpTo(m_peer, big.size() * 2, 500); });
    const auto marked = std::async(std::launch::async, send, reinterpret_cast<const uint8_t*>("MARK!"), 5u, 3000u).get();
    EXPECT_EQ(std::get<0>(marked), 0u);
    EXPECT_EQ(std::get<1>(marked), 5u);
    const std::string tail = drained.get();
    ASSERT_GE(tail.size(), 5u);
    EXPECT_EQ(tail.substr(tail.size() - 5), "MARK!");
}

// A peer gone with a reset gives an error, never a SIGPIPE that would end the process.
TEST_F(TcpChannelTest, SendingToAResetPeerFailsWithoutKillingTheProcess)
{
    const linger hard{1, 0};
    setsockopt(m_peer, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    close(m_peer);
    m_peer = -1;
    uint32_t result = 0;
    uint32_t length = 0;
    // The first sends may only learn of the reset (ECONNRESET); the next meets the closed
    // socket (EPIPE), where the signal would come.
    for (int i = 0; i < 5 && result != EPIPE; ++i) {
        std::this_thread::sleep_for(20ms);
        length = 3;
        result = m_channel.Send(reinterpret_cast<const uint8_t*>("abc"), length, 1000);
        EXPECT_TRUE(result == EPIPE || result == ECONNRESET || (i == 0 && result == 0)) << result;
    }
    EXPECT_EQ(result, static_cast<uint32_t>(EPIPE));
    EXPECT_EQ(length, 0u);
}

// A listener whose backlog is full answers no SYN, like an address where nothing
// answers: the connect ends at its bound, or at once when aborted.
TEST(TcpChannel, AnUnansweredConnectEndsAtItsBoundOrAtOnceOnAbort)
{
    CLoopbackListener listener(0);
    std::vector<std::unique_ptr<CTcpChannel>> fillers;
    bool unanswered = false;
    for (int i = 0; i < 16 && !unanswered; ++i) {
        fillers.push_back(std::make_unique<CTcpChannel>(300));
        ASSERT_TRUE(fillers.back()->Create());
        const auto start = Clock::now();
        unanswered = !fillers.back()->Connect("127.0.0.1", listener.Port());
        if (unanswered) {
            EXPECT_EQ(GetLastError(), static_cast<uint32_t>(ETIMEDOUT));
            EXPECT_GE(MsSince(start), 300);
            EXPECT_LT(MsSince(start), 3000);
        }
    }
    ASSERT_TRUE(unanswered);

    CAbortSignal abort;
    CTcpChannel channel;
    channel.SetAbortSignal(&abort);
    ASSERT_TRUE(channel.Create());
    std::jthread ctrlC([&] {
        std::this_thread::sleep_for(100ms);
        abort.Trigger();
    });
    const auto start = Clock::now();
    EXPECT_FALSE(channel.Connect("127.0.0.1", listener.Port()));
    EXPECT_EQ(GetLastError(), static_cast<uint32_t>(ECANCELED));
    EXPECT_LT(MsSince(start), 1000);
}

class TcpLinkTest : public LoopbackPeerTest {
protected:
    bool Open() override { return m_link.OpenTcp(kLoopback, m_listener.Port()); }
    CDeviceLink m_link;
};

struct ExactCase {
    const char* name;
    std::vector<std::string> pieces;  // what the instrument writes, 60 ms apart
    bool thenCloses;
    uint32_t wanted;
    uint32_t result;  // kAnyError: an error other than a time-out
    uint32_t length;
};
constexpr uint32_t kAnyError = ~0u;

std::string Image(size_t size)
{
    std::string image(size, '\0');
    for (size_t i = 0; i < size; ++i)
        image[i] = static_cast<char>(i * 31 + i / 256);
    return image;
}

void PrintTo(const ExactCase& c, std::ostream* os) { *os << c.name; }

class ReceiveExact : public TcpLinkTest, public ::testing::WithParamInterface<ExactCase> {};

// Each receive gets the whole time-out again; a time-out ends with the count of what came.
// An instrument that goes away mid-reply ends the wait with an error, never a loop and
// never a complete reply. An arrival bigger than the ring comes through whole.
TEST_P(ReceiveExact, GathersTheRequestedBytesOrSaysWhyNot)
{
    const ExactCase& c = GetParam();
    std::string sent;
    for (const std::string& piece : c.pieces)
        sent += piece;
    std::jthread instrument([&] {
        for (const std::string& piece : c.pieces) {
            WriteAll(m_peer, piece);
            std::this_thread::sleep_for(60ms);
        }
        if (c.thenCloses)
            close(std::exchange(m_peer, -1));
    });
    std::string got(c.wanted, '\0');
    uint32_t length = c.wanted;
    const auto start = Clock::now();
    const uint32_t result = m_link.ReceiveExact(reinterpret_cast<uint8_t*>(got.data()), length, 300);
    if (c.result == kAnyError) {
        EXPECT_NE(result, 0u);
        EXPECT_NE(result, kErrorTimeout);
        EXPECT_LT(MsSince(start), 1000);
    } else {
        EXPECT_EQ(result, c.result);
    }
    ASSERT_EQ(length, c.length);
    EXPECT_EQ(got.substr(0, length), sent.substr(0, length));
}

INSTANTIATE_TEST_SUITE_P(
    Arrivals, ReceiveExact,
    ::testing::Values(ExactCase{"Trickled", {"MOR", "VE", "NAL\r", "\n"}, false, 10, 0, 10},
                      ExactCase{"LargerThanTheRing", {Image(20000)}, false, 20000, 0, 20000},
                      ExactCase{"TimeOutKeepsTheCount", {"abcd"}, false, 10, kErrorTimeout, 4},
                      ExactCase{"PeerCloses", {"abc"}, true, 10, kAnyError, 3}),
    [](const auto& info) { return std::string(info.param.name); });

// What reaches the instrument: SendText up to the NUL or its limit, nothing for a Send
// of no bytes, and SendCommand's text cut to 509 characters plus CR LF (511 bytes).
TEST_F(TcpLinkTest, SendsTextsAndCommandsAndNothingForAnEmptySend)
{
    const std::pair<const char*, uint32_t> texts[] = {{"MORVENAL\r\n", 100}, {"MORVENAL\r\n", 4}, {"", 100}, {"abc", 0}};
    for (const auto& [text, limit] : texts)
        EXPECT_EQ(m_link.SendText(text, limit, 1000), 0u) << text;
    uint32_t length = 0;
    EXPECT_EQ(m_link.Send(reinterpret_cast<const uint8_t*>("abc"), length, 100), 0u);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(m_link.SendCommand(":UP:EXEC"), 0u);
    EXPECT_EQ(m_link.SendCommand(std::string(600, 'Q').c_str()), 0u);
    m_link.Close();
    EXPECT_EQ(ReadUpTo(m_peer, 4000, 1000), "MORVENAL\r\nMORV:UP:EXEC\r\n" + std::string(509, 'Q') + "\r\n");
}

// A second open closes the connection held, and the new one inherits none of its bytes.
TEST_F(TcpLinkTest, ASecondOpenClosesTheFirstConnectionAndDropsItsBytes)
{
    EXPECT_EQ(m_link.Address(), kLoopback);
    EXPECT_EQ(m_link.Port(), m_listener.Port());
    EXPECT_STREQ(m_link.AddressText(), "127.0.0.1");
    ASSERT_TRUE(WriteAll(m_peer, "old"));
    char got[3] = {};
    uint32_t length = 1;
    ASSERT_EQ(m_link.Receive(reinterpret_cast<uint8_t*>(got), length, 1000), 0u);  // "ld" stay in the ring

    ASSERT_TRUE(m_link.OpenTcp(kLoopback, m_listener.Port()));
    const int second = m_listener.Accept();
    ASSERT_GE(second, 0);
    pollfd p{m_peer, POLLIN, 0};
    EXPECT_EQ(poll(&p, 1, 1000), 1);
    EXPECT_EQ(recv(m_peer, got, 1, 0), 0);  // the end of the first connection
    ASSERT_TRUE(WriteAll(second, "new"));
    length = 3;
    EXPECT_EQ(m_link.ReceiveExact(reinterpret_cast<uint8_t*>(got), length, 1000), 0u);
    EXPECT_EQ(std::string(got, length), "new");
    close(second);
}

// The CLI's Ctrl+C: a blocked wait ends at once, and the transfers after it are refused.
TEST(DeviceLink, AFailedOpenTcpNamesTheReasonAndKeepsTheAddressAndItsText)
{
    CLoopbackListener listener;
    int gonePort = 0;
    {
        CLoopbackListener gone;
        gonePort = gone.Port();
    }
    const std::tuple<uint32_t, int32_t, const char*, uint32_t> cases[] = {
        {0xC0A80001, 0, "192.168.0.1", kErrorInvalidArgument},
        {0x0A00FF01, -8023, "10.0.255.1", kErrorInvalidArgument},
        {0, 65536, "0.0.0.0", kErrorInvalidArgument},
        {0xFFFFFFFF, 99999, "255.255.255.255", kErrorInvalidArgument},
        {kLoopback, listener.Port() + 65536, "127.0.0.1", kErrorInvalidArgument},
        {kLoopback, gonePort, "127.0.0.1", static_cast<uint32_t>(ECONNREFUSED)},
    };
    for (const auto& [address, port, text, error] : cases) {
        CDeviceLink link;
        SetLastError(0);
        EXPECT_FALSE(link.OpenTcp(address, port)) << port;
        EXPECT_EQ(GetLastError(), error) << port;
        EXPECT_EQ(link.Address(), address);
        EXPECT_EQ(link.Port(), port);
        EXPECT_STREQ(link.AddressText(), text);
    }
    EXPECT_EQ(listener.Accept(100), -1);
}

// A link used without an open, or after a failed one, fails and moves nothing.
TEST(DeviceLink, NoOpenFailsWithNothingMoved)
{
    CDeviceLink neverOpened;
    CDeviceLink failedOpen;
    EXPECT_FALSE(failedOpen.OpenTcp(kLoopback, 0));
    for (CDeviceLink* link : {&neverOpened, &failedOpen}) {
        uint8_t block[4];
        uint32_t length = 4;
        EXPECT_NE(link->Receive(block, length, 100), 0u);
        EXPECT_EQ(length, 0u);
        length = 4;
        EXPECT_NE(link->Send(block, length, 100), 0u);
        EXPECT_EQ(length, 0u);
        EXPECT_NE(link->SendCommand(":UP:EXEC"), 0u);
        EXPECT_TRUE(link->Close());
    }
}

}  // namespace
