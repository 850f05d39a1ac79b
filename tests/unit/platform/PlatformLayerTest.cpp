// The platform layer's promises, written once and run against both implementations (the
// POSIX build here, the Windows build under Wine): bounded waits, the abort signal, the
// socket's loopback exchange and its failures, UTF-8 file names and error texts.

#include "UpdateFileBuilder.h"

#include "platform/AbortSignal.h"
#include "platform/File.h"
#include "platform/FileException.h"
#include "platform/LastError.h"
#include "platform/NetSocket.h"
#include "platform/PathText.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace zorflash;
using testsupport::TempDir;

namespace {

using Clock = std::chrono::steady_clock;

int64_t MsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

constexpr uint32_t kLoopback = 0x7F000001;

// A connected pair on 127.0.0.1: host is the engine's side, peer the instrument's.
struct LoopbackPair {
    CNetSocket listener;
    CNetSocket host;
    CNetSocket peer;

    LoopbackPair()
    {
        EXPECT_TRUE(listener.ListenOnLoopback());
        EXPECT_TRUE(host.Open());
        std::thread accepter([this] { EXPECT_EQ(listener.Accept(peer, nullptr, DeadlineAfter(5000)), 0u); });
        EXPECT_EQ(host.Connect(kLoopback, listener.LocalPort(), nullptr, DeadlineAfter(5000)), 0u);
        accepter.join();
    }
};

// Sends every byte, waiting for room as often as needed; fails the test on an error.
void SendAll(CNetSocket& socket, const std::string& bytes, uint32_t eachWaitMs)
{
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    for (size_t done = 0; done < bytes.size();) {
        uint32_t n = 0;
        ASSERT_EQ(socket.SendSome(data + done, static_cast<uint32_t>(bytes.size() - done), n, nullptr,
                                  DeadlineAfter(eachWaitMs)),
                  0u);
        done += n;
    }
}

std::string ReceiveAll(CNetSocket& socket, size_t count)
{
    std::string got;
    uint8_t block[4096];
    while (got.size() < count) {
        uint32_t n = 0;
        if (socket.ReceiveSome(block, sizeof block, n, nullptr, DeadlineAfter(5000)) != 0 || n == 0)
            break;
        got.append(reinterpret_cast<const char*>(block), n);
    }
    return got;
}

}  // namespace

TEST(NetSocket, MovesEveryByteValueBothWaysOverLoopback)
{
    LoopbackPair pair;
    std::string bytes;
    for (int i = 0; i < 70000; ++i)
        bytes += static_cast<char>(i * 7);
    // More than a socket buffer: the sender must wait for room and carry on.
    std::thread sender([&] { SendAll(pair.host, bytes, 5000); });
    EXPECT_EQ(ReceiveAll(pair.peer, bytes.size()), bytes);
    sender.join();

    const uint8_t reply[] = {0xAA, 0x00, 0x59};
    uint32_t sent = 0;
    ASSERT_EQ(pair.peer.SendSome(reply, sizeof reply, sent, nullptr, DeadlineAfter(1000)), 0u);
    EXPECT_EQ(sent, sizeof reply);
    EXPECT_EQ(ReceiveAll(pair.host, 3), std::string("\xAA\x00\x59", 3));
}

TEST(NetSocket, WaitsEndAtTheDeadlineOrAtOnceOnAbortAndAClosedPeerReadsAsNothing)
{
    LoopbackPair pair;
    uint8_t byte = 0;
    uint32_t n = 99;

    auto start = Clock::now();
    EXPECT_EQ(pair.host.ReceiveSome(&byte, 1, n, nullptr, DeadlineAfter(300)), kErrorTimeout);
    EXPECT_EQ(n, 0u);
    EXPECT_GE(MsSince(start), 290);
    EXPECT_LT(MsSince(start), 2000);

    CAbortSignal abort;
    EXPECT_NE(abort.WaitHandle(), kNoWaitHandle);
    std::thread trigger([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        abort.Trigger();
    });
    start = Clock::now();
    EXPECT_EQ(pair.host.ReceiveSome(&byte, 1, n, &abort, DeadlineAfter(10000)), kErrorCancelled);
    EXPECT_LT(MsSince(start), 2000);
    trigger.join();
    EXPECT_TRUE(abort.IsTriggered());
    // Once triggered, every later wait ends at once too.
    EXPECT_EQ(pair.host.ReceiveSome(&byte, 1, n, &abort, DeadlineAfter(10000)), kErrorCancelled);

    pair.peer.Close();
    EXPECT_EQ(pair.host.ReceiveSome(&byte, 1, n, nullptr, DeadlineAfter(2000)), 0u);
    EXPECT_EQ(n, 0u);
}

// The instrument's answer arrives while the host is still blocked in a send on another
// thread: the waiting receive must see it at once, although both waits watch the same
// socket and the send's wait may be the one that learns of the answer.
TEST(NetSocket, AReceiveWaitingWhileAnotherThreadSendsEndsWithTheAnswer)
{
    LoopbackPair pair;
    const std::string bytes(16 << 20, 'x');  // far more than the socket buffers hold
    Clock::time_point answeredAt;
    std::string got;
    std::thread instrument([&] {
        got = ReceiveAll(pair.peer, 65536);
        const uint8_t ack = 0x59;
        uint32_t n = 0;
        answeredAt = Clock::now();
        pair.peer.SendSome(&ack, 1, n, nullptr, DeadlineAfter(2000));
        // The host's send stays blocked meanwhile.
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        got += ReceiveAll(pair.peer, bytes.size() - got.size());
    });
    uint8_t reply = 0;
    uint32_t replied = 0;
    uint32_t received = 1;
    Clock::time_point receivedAt;
    std::thread receiver([&] {
        received = pair.host.ReceiveSome(&reply, 1, replied, nullptr, DeadlineAfter(10000));
        receivedAt = Clock::now();
    });
    SendAll(pair.host, bytes, 10000);
    receiver.join();
    instrument.join();
    EXPECT_EQ(got.size(), bytes.size());
    EXPECT_EQ(received, 0u);
    EXPECT_EQ(reply, 0x59);
    // Long before the instrument reads on and the send can end.
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(receivedAt - answeredAt).count(), 1000);
}

TEST(NetSocket, ConnectFailuresAreTheSystemsCodesAndAddressesResolveWithoutTheNetwork)
{
    uint16_t closedPort = 0;
    {
        CNetSocket listener;
        ASSERT_TRUE(listener.ListenOnLoopback());
        closedPort = listener.LocalPort();
    }
    CNetSocket socket;
    ASSERT_TRUE(socket.Open());
    const auto start = Clock::now();
    const uint32_t refused = socket.Connect(kLoopback, closedPort, nullptr, DeadlineAfter(5000));
    EXPECT_NE(refused, 0u);
    EXPECT_NE(refused, kErrorTimeout);
    EXPECT_LT(MsSince(start), 4000);
    EXPECT_STRNE(DescribeError(refused), "");
    EXPECT_STRNE(DescribeError(refused), "application error");

    uint32_t address = 0;
    EXPECT_TRUE(CNetSocket::ResolveIPv4("127.0.0.1", address));
    EXPECT_EQ(address, kLoopback);
    // inet_addr's failure value, read again by name resolution as the numeric address.
    EXPECT_TRUE(CNetSocket::ResolveIPv4("255.255.255.255", address));
    EXPECT_EQ(address, 0xFFFFFFFFu);
    SetLastError(0);
    EXPECT_FALSE(CNetSocket::ResolveIPv4(nullptr, address));
    EXPECT_EQ(GetLastError(), kErrorInvalidArgument);
}

TEST(PlatformFile, OpensUtf8NamesAndNamesTheCauseOfAFailure)
{
    TempDir dir;
    const std::string name = Utf8FromPath(dir.Path()) + "/" + "更新ファイル.R71";
    {
        std::ofstream out(PathFromUtf8(name), std::ios::binary);
        out << "MORVENAL RT71 MAIN ROM";
    }
    CFile file;
    ASSERT_TRUE(file.Open(name)) << GetLastError();
    EXPECT_EQ(file.GetLength(), 22u);
    char text[8] = {};
    file.Seek(9);
    EXPECT_EQ(file.Read(text, 4), 4u);
    EXPECT_EQ(std::string(text), "RT71");
    // Open for reading, the file may still be read by others.
    std::ifstream other(PathFromUtf8(name), std::ios::binary);
    EXPECT_TRUE(other.good());
    file.Close();
    EXPECT_FALSE(file.IsOpen());

    EXPECT_FALSE(file.Open(Utf8FromPath(dir.Path()) + "/missing.R71"));
    EXPECT_EQ(CFileException::CauseFromErrno(static_cast<int>(GetLastError())), CFileException::fileNotFound);
    EXPECT_FALSE(file.Open(Utf8FromPath(dir.Path())));  // a folder is no update file
    EXPECT_NE(GetLastError(), 0u);
    EXPECT_FALSE(file.IsOpen());
    EXPECT_THROW(file.Read(text, 1), CFileException);
}

TEST(LastErrorValue, IsPerThreadAndOurCodesReadAsTheirMeaning)
{
    // Read right after it is set, as the engine does: on Windows any later system call
    // (a thread's start among them) may replace it.
    SetLastError(kErrorTimeout);
    EXPECT_EQ(GetLastError(), kErrorTimeout);
    uint32_t seenAtStart = 0;
    uint32_t seenByOther = 0;
    std::thread other([&] {
        seenAtStart = GetLastError();
        SetLastError(kErrorInvalidArgument);
        seenByOther = GetLastError();
    });
    other.join();
    EXPECT_NE(seenAtStart, kErrorTimeout);
    EXPECT_EQ(seenByOther, kErrorInvalidArgument);

    EXPECT_STREQ(DescribeError(kErrorTimeout), "the wait timed out");
    EXPECT_STREQ(DescribeError(kErrorApplicationBit | 2), "no identification reply");
    for (uint32_t code : {kErrorCancelled, kErrorConnectionReset, kErrorConnectTimedOut, kErrorDeviceGone})
        EXPECT_GT(std::string(DescribeError(code)).size(), 3u) << code;
    // A failure that left no code must not read as a success in its reason.
    EXPECT_EQ(std::string(DescribeError(kErrorSuccess)).find("uccess"), std::string::npos);
}
