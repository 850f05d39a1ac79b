#include "link/TcpChannel.h"
#include "platform/AbortSignal.h"
#include "platform/LastError.h"

#include "LoopbackPeer.h"

#include <gtest/gtest.h>

#include <sched.h>
#include <sys/ioctl.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

int64_t MsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// A channel connected to a loopback listener, with the instrument's end in m_peer.
class TcpChannelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_channel.Create(1));
        ASSERT_TRUE(m_channel.Connect("127.0.0.1", m_listener.Port())) << GetLastError();
        m_peer = m_listener.Accept();
        ASSERT_GE(m_peer, 0);
    }
    void TearDown() override
    {
        if (m_peer >= 0)
            close(m_peer);
    }

    // Waits until the kernel holds count unread bytes on the channel's socket, so that
    // one socket read takes them all.
    void AwaitArrival(int count)
    {
        for (int i = 0; i < 200; ++i) {
            int pending = 0;
            ioctl(m_channel.Socket(), FIONREAD, &pending);
            if (pending >= count)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        FAIL() << "bytes did not arrive";
    }

    // Shrinks both socket buffers so that a peer that stops reading blocks our sends soon.
    void ShrinkBuffers()
    {
        const int small = 4096;
        setsockopt(m_channel.Socket(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
        setsockopt(m_peer, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    }

    CLoopbackListener m_listener;
    CTcpChannel m_channel;
    int m_peer = -1;
};

TEST_F(TcpChannelTest, ServesWhatOneSocketReadBroughtFromTheRing)
{
    ASSERT_TRUE(WriteAll(m_peer, "0123456789"));
    AwaitArrival(10);
    uint8_t byte = 0;
    uint32_t length = 1;
    ASSERT_EQ(m_channel.Receive(&byte, length, 1000), 0u);
    EXPECT_EQ(length, 1u);
    EXPECT_EQ(byte, '0');
    const uint64_t readsAfterFirst = m_channel.SocketReads();
    for (char expected = '1'; expected <= '9'; ++expected) {
        length = 1;
        ASSERT_EQ(m_channel.Receive(&byte, length, 1000), 0u);
        ASSERT_EQ(length, 1u);
        EXPECT_EQ(byte, expected);
    }
    EXPECT_EQ(m_channel.SocketReads(), readsAfterFirst);
}

TEST_F(TcpChannelTest, AskingForNothingStillReadsTheSocketIntoTheRing)
{
    ASSERT_TRUE(WriteAll(m_peer, "Y"));
    uint8_t byte = 0;
    uint32_t length = 0;
    ASSERT_EQ(m_channel.Receive(&byte, length, 1000), 0u);
    EXPECT_EQ(length, 0u);
    close(m_peer);  // from here on a socket read would only see the end
    m_peer = -1;
    length = 1;
    ASSERT_EQ(m_channel.Receive(&byte, length, 1000), 0u);
    ASSERT_EQ(length, 1u);
    EXPECT_EQ(byte, 'Y');
}

// A read takes no more than the ring's free room: an arrival bigger than the ring comes
// through whole and in order.
TEST_F(TcpChannelTest, LosesNoByteOfAnArrivalLargerThanTheRing)
{
    std::string image(20000, '\0');
    for (size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<char>(i * 31 + i / 256);
    std::thread writer([&] { WriteAll(m_peer, image); });
    std::string got;
    uint8_t block[5000];
    while (got.size() < image.size()) {
        uint32_t length = sizeof block;
        ASSERT_EQ(m_channel.Receive(block, length, 2000), 0u);
        ASSERT_GT(length, 0u);
        got.append(reinterpret_cast<char*>(block), length);
    }
    writer.join();
    EXPECT_EQ(got, image);
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

TEST_F(TcpChannelTest, AClosedPeerGivesAnEmptySuccessfulReceive)
{
    close(m_peer);
    m_peer = -1;
    uint8_t block[4];
    uint32_t length = sizeof block;
    EXPECT_EQ(m_channel.Receive(block, length, 1000), 0u);
    EXPECT_EQ(length, 0u);
}

TEST_F(TcpChannelTest, SendTimeOutAnswers258AndReleasesTheLock)
{
    ShrinkBuffers();
    std::vector<uint8_t> big(8 * 1024 * 1024, 0x38);
    uint32_t length = static_cast<uint32_t>(big.size());
    const auto start = Clock::now();
    EXPECT_EQ(m_channel.Send(big.data(), length, 200), kErrorTimeout);
    EXPECT_GE(MsSince(start), 200);
    EXPECT_LT(MsSince(start), 2000);
    EXPECT_EQ(length, 0u);

    // The instrument reads again: a send from another thread gets the lock and goes out.
    auto drained = std::async(std::launch::async, [&] { return ReadUpTo(m_peer, big.size() + 5, 500); });
    auto sent = std::async(std::launch::async, [&] {
        uint32_t n = 5;
        return std::make_pair(m_channel.Send(reinterpret_cast<const uint8_t*>("MARK!"), n, 3000), n);
    });
    EXPECT_EQ(sent.get(), std::make_pair(0u, 5u));
    const std::string tail = drained.get();
    ASSERT_GE(tail.size(), 5u);
    EXPECT_EQ(tail.substr(tail.size() - 5), "MARK!");
}

TEST_F(TcpChannelTest, ASecondSenderWaitsForTheLockNoLongerThanItsTimeOut)
{
    ShrinkBuffers();
    std::vector<uint8_t> big(8 * 1024 * 1024, 0x55);
    auto blocked = std::async(std::launch::async, [&] {
        uint32_t n = static_cast<uint32_t>(big.size());
        return m_channel.Send(big.data(), n, 1500);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    uint8_t byte = 0x55;
    uint32_t length = 1;
    const auto start = Clock::now();
    EXPECT_EQ(m_channel.Send(&byte, length, 100), kErrorTimeout);
    EXPECT_LT(MsSince(start), 1000);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(blocked.get(), kErrorTimeout);
}

TEST_F(TcpChannelTest, SendingToAResetPeerFailsWithoutKillingTheProcess)
{
    ResetAndClose(m_peer);
    m_peer = -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    uint32_t result = 0;
    uint32_t length = 0;
    for (int i = 0; i < 5 && result == 0; ++i) {
        length = 3;
        result = m_channel.Send(reinterpret_cast<const uint8_t*>("abc"), length, 1000);
    }
    EXPECT_TRUE(result == EPIPE || result == ECONNRESET) << result;
    EXPECT_EQ(length, 0u);
}

TEST_F(TcpChannelTest, SendOfNothingSendsNothing)
{
    uint32_t length = 0;
    EXPECT_EQ(m_channel.Send(reinterpret_cast<const uint8_t*>("text"), length, 100), 0u);
    EXPECT_EQ(length, 0u);
    m_channel.CloseSocket();
    EXPECT_EQ(ReadUpTo(m_peer, 10, 500), "");
}

// The CLI's Ctrl+C: every wait ends at once when the signal is triggered.
TEST_F(TcpChannelTest, AbortEndsABlockedReceiveAndSendAtOnce)
{
    CAbortSignal abort;
    m_channel.SetAbortSignal(&abort);
    ShrinkBuffers();
    std::vector<uint8_t> big(8 * 1024 * 1024, 0);
    auto receive = std::async(std::launch::async, [&] {
        uint8_t block[8];
        uint32_t n = sizeof block;
        const auto start = Clock::now();
        const uint32_t result = m_channel.Receive(block, n, 10000);
        return std::make_pair(result, MsSince(start));
    });
    auto send = std::async(std::launch::async, [&] {
        uint32_t n = static_cast<uint32_t>(big.size());
        const auto start = Clock::now();
        const uint32_t result = m_channel.Send(big.data(), n, 10000);
        return std::make_pair(result, MsSince(start));
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    abort.Trigger();
    const auto received = receive.get();
    const auto sent = send.get();
    EXPECT_EQ(received.first, static_cast<uint32_t>(ECANCELED));
    EXPECT_LT(received.second, 200 + 100);
    EXPECT_EQ(sent.first, static_cast<uint32_t>(ECANCELED));
    EXPECT_LT(sent.second, 200 + 100);

    uint8_t byte = 0;
    uint32_t length = 1;
    EXPECT_EQ(m_channel.Receive(&byte, length, 10000), static_cast<uint32_t>(ECANCELED));
    EXPECT_EQ(length, 0u);
}

TEST(TcpChannel, ConnectRefusedNamesTheReason)
{
    int port = 0;
    {
        CLoopbackListener gone;
        port = gone.Port();
    }
    CTcpChannel channel;
    ASSERT_TRUE(channel.Create(1));
    EXPECT_FALSE(channel.Connect("127.0.0.1", port));
    EXPECT_EQ(GetLastError(), static_cast<uint32_t>(ECONNREFUSED));
}

TEST(TcpChannel, PortsOutsideTheRangeAreRefusedNotCut)
{
    CLoopbackListener listener;  // 99999 & 0xFFFF must not reach anything either
    for (int32_t port : {0, -1, 65536, 99999, listener.Port() + 65536}) {
        CTcpChannel channel;
        ASSERT_TRUE(channel.Create(1));
        SetLastError(0);
        EXPECT_FALSE(channel.Connect("127.0.0.1", port)) << port;
        EXPECT_EQ(GetLastError(), kErrorInvalidArgument) << port;
    }
    EXPECT_EQ(listener.Accept(100), -1);
}

// A listener whose backlog is full answers no SYN: the connect must end at its bound.
class UnansweredConnect : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Fill the accept queue with connects of our own until one is no longer answered;
        // from then on SYNs are dropped, as by an address where nothing answers.
        for (int i = 0; i < 16 && !m_filled; ++i) {
            const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            address.sin_port = htons(static_cast<uint16_t>(m_listener.Port()));
            connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
            m_fillers.push_back(fd);
            pollfd p{fd, POLLOUT, 0};
            m_filled = poll(&p, 1, 300) == 0;
        }
    }
    void TearDown() override
    {
        for (int fd : m_fillers)
            close(fd);
    }

    CLoopbackListener m_listener{0};
    std::vector<int> m_fillers;
    bool m_filled = false;
};

TEST_F(UnansweredConnect, EndsAtTheConnectBound)
{
    ASSERT_TRUE(m_filled);
    CTcpChannel channel(300);
    ASSERT_TRUE(channel.Create(1));
    const auto start = Clock::now();
    EXPECT_FALSE(channel.Connect("127.0.0.1", m_listener.Port()));
    EXPECT_EQ(GetLastError(), static_cast<uint32_t>(ETIMEDOUT));
    EXPECT_GE(MsSince(start), 300);
    EXPECT_LT(MsSince(start), 3000);
    EXPECT_EQ(CTcpChannel::kConnectTimeoutMs, 21000u);
}

TEST_F(UnansweredConnect, EndsAtOnceWhenAborted)
{
    ASSERT_TRUE(m_filled);
    CAbortSignal abort;
    CTcpChannel channel;
    channel.SetAbortSignal(&abort);
    ASSERT_TRUE(channel.Create(1));
    std::thread trigger([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        abort.Trigger();
    });
    const auto start = Clock::now();
    EXPECT_FALSE(channel.Connect("127.0.0.1", m_listener.Port()));
    EXPECT_EQ(GetLastError(), static_cast<uint32_t>(ECANCELED));
    EXPECT_LT(MsSince(start), 1000);
    trigger.join();
}

// Host names are resolved in a network namespace of our own, so that a name lookup can
// never send a query to a name server outside this machine.
TEST(TcpChannel, ResolvesDottedAddressesAndNamesWithoutTheNetwork)
{
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (unshare(CLONE_NEWNET) != 0)
            _exit(77);
        struct Case {
            const char* host;
            bool resolves;
            uint32_t address;
        } const cases[] = {
            {"127.0.0.1", true, 0x7F000001},
            {"192.168.0.1", true, 0xC0A80001},
            {"255.255.255.255", true, 0xFFFFFFFF},  // INADDR_NONE, read again by the resolver
            {"localhost", true, 0x7F000001},
            {"no-such-instrument.invalid", false, 0},
            {"", false, 0},
            {nullptr, false, 0},
        };
        int failures = 0;
        for (const Case& c : cases) {
            uint32_t address = 0;
            SetLastError(0);
            const bool resolved = CTcpChannel::ResolveHost(c.host, address);
            if (resolved != c.resolves || (resolved && address != c.address) ||
                (!resolved && GetLastError() != kErrorInvalidArgument))
                ++failures;
        }
        _exit(failures);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77)
        GTEST_SKIP() << "no permission to make a network namespace";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "cases that resolved wrongly";
}

TEST(TcpChannel, CreateMakesStreamOrDatagramSocketsAndClosesTheOldOne)
{
    CLoopbackListener listener;
    CTcpChannel channel;
    ASSERT_TRUE(channel.Create(1));
    ASSERT_TRUE(channel.Connect("127.0.0.1", listener.Port()));
    const int peer = listener.Accept();
    int type = 0;
    socklen_t size = sizeof type;
    getsockopt(channel.Socket(), SOL_SOCKET, SO_TYPE, &type, &size);
    EXPECT_EQ(type, SOCK_STREAM);

    ASSERT_TRUE(channel.Create(2));
    getsockopt(channel.Socket(), SOL_SOCKET, SO_TYPE, &type, &size);
    EXPECT_EQ(type, SOCK_DGRAM);
    EXPECT_EQ(ReadUpTo(peer, 1, 1000), "");  // the first connection was closed
    close(peer);

    channel.CloseSocket();
    EXPECT_EQ(channel.Socket(), -1);
    channel.CloseSocket();
    EXPECT_EQ(channel.Socket(), -1);
}

}  // namespace
