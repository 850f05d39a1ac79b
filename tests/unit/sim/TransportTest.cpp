#include "HostScript.h"

#include "sim/PtyInstrument.h"
#include "sim/TcpServer.h"
#include "sim/UpdateLedger.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace simtest;

namespace {

// The host's end of a link, bounded in every wait.
class Host {
public:
    explicit Host(int fd) : m_fd(fd) {}
    ~Host() { Close(); }
    void Close()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }
    void Send(const Bytes& bytes) { ASSERT_EQ(::write(m_fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size())); }
    void Send(const std::string& text) { Send(Text(text)); }

    // Up to `count` bytes within `ms`; "<eof>" if the instrument closed the link.
    std::string Receive(std::size_t count, int ms = 5000)
    {
        std::string got;
        while (got.size() < count) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, ms) <= 0)
                break;
            char c[512];
            const ssize_t n = ::read(m_fd, c, std::min(sizeof c, count - got.size()));
            if (n <= 0)
                return got + "<eof>";
            got.append(c, static_cast<std::size_t>(n));
        }
        return got;
    }

    // The handshake and a MAIN header, every reply checked.
    void Begin(const std::string& line = kMainLine)
    {
        Send(":UP:EXEC\r\n");
        Send(Bytes{0x55});
        EXPECT_EQ(Receive(1), "\xAA");
        Send("MORVENAL\r\n");
        EXPECT_EQ(Receive(10), "MORVENAL\r\n");
        Send(Bytes{0x38});
        EXPECT_EQ(Receive(1), "8");
        Send(Header(line));
        EXPECT_EQ(Receive(1), "Y");
    }

private:
    int m_fd;
};

class TcpServerTest : public ::testing::Test {
protected:
    void Start(int idleTimeoutMs = 5000, std::optional<std::string> imageDir = std::nullopt)
    {
        m_ledger = std::make_unique<CUpdateLedger>(imageDir, 1);
        m_server = std::make_unique<CTcpServer>(m_plan, *m_ledger, idleTimeoutMs);
        std::string error;
        ASSERT_TRUE(m_server->Listen("127.0.0.1", 0, error)) << error;
        m_thread = std::thread([this] { m_server->Serve(); });
    }

    int Connect()
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(m_server->Port()));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        return fd;
    }

    // Waits for the one update's summary line.
    std::string Summary()
    {
        m_thread.join();
        const auto lines = m_ledger->Summaries();
        return lines.empty() ? std::string() : lines.back();
    }

    void TearDown() override
    {
        if (m_thread.joinable()) {
            m_ledger->EndRun();
            m_thread.join();
        }
    }

    CFaultPlan m_plan;
    std::unique_ptr<CUpdateLedger> m_ledger;
    std::unique_ptr<CTcpServer> m_server;
    std::thread m_thread;
};

TEST_F(TcpServerTest, GoodUpdateIsSavedAsReceivedWhateverTheWriteBoundaries)
{
    const auto dir = std::filesystem::temp_directory_path() / ("zorflash-sim-tcp-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    Start(5000, dir.string());
    Host host(Connect());
    const Bytes header = Header(kMainLine);
    host.Send(":UP:");
    host.Send("EXEC\r\n\x55");
    EXPECT_EQ(host.Receive(1), "\xAA");
    host.Send("MORVENAL\r\n");
    EXPECT_EQ(host.Receive(10), "MORVENAL\r\n");
    host.Send(Bytes{0x38});
    EXPECT_EQ(host.Receive(1), "8");
    host.Send(Bytes(header.begin(), header.begin() + 20));
    host.Send(Bytes(header.begin() + 20, header.end()));
    EXPECT_EQ(host.Receive(1), "Y");
    host.Send(SmallRecord(0));
    EXPECT_EQ(host.Receive(1), "Y");
    host.Send(SmallRecord(1));
    EXPECT_EQ(host.Receive(1), "Y");
    host.Send(Cat({SmallRecord(2), {0x00}}));
    host.Close();

    const std::string summary = Summary();
    EXPECT_NE(summary.find("kind=MAIN sections=1 records=3 bytes=91 acks=2"), std::string::npos) << summary;
    EXPECT_NE(summary.find("link=closed-by-host verdict=OK"), std::string::npos) << summary;
    std::ifstream image(dir / "update-0001.img", std::ios::binary);
    const Bytes saved{std::istreambuf_iterator<char>(image), std::istreambuf_iterator<char>()};
    EXPECT_EQ(saved, Cat({header, SmallRecord(0), SmallRecord(1), SmallRecord(2), {0x00}}));
    std::filesystem::remove_all(dir);
}

struct TcpFault {
    const char* name;
    const char* fault;
    int stage;             // 0: at sync, 1: at the header, 2: at record 1
    std::string seen;      // what the host receives there
    const char* summary;
};

class TcpFaultTest : public TcpServerTest, public ::testing::WithParamInterface<TcpFault> {};

TEST_P(TcpFaultTest, HostSeesTheFaultAndTheSimulatorSeesTheHostClose)
{
    const TcpFault& f = GetParam();
    std::string error;
    ASSERT_TRUE(m_plan.Add(f.fault, error)) << error;
    Start();
    Host host(Connect());
    host.Send(":UP:EXEC\r\n");
    host.Send(Bytes{0x55});
    if (f.stage > 0) {
        EXPECT_EQ(host.Receive(1), "\xAA");
        host.Send("MORVENAL\r\n");
        EXPECT_EQ(host.Receive(10), "MORVENAL\r\n");
        host.Send(Bytes{0x38});
        EXPECT_EQ(host.Receive(1), "8");
        host.Send(Header(kMainLine));
    }
    if (f.stage > 1) {
        EXPECT_EQ(host.Receive(1), "Y");
        host.Send(SmallRecord(0));
        EXPECT_EQ(host.Receive(1), "Y");
        host.Send(SmallRecord(1));
    }
    EXPECT_EQ(host.Receive(1, 300), f.seen);
    host.Close();
    const std::string summary = Summary();
    EXPECT_NE(summary.find(f.summary), std::string::npos) << summary;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TcpFaultTest,
    ::testing::Values(TcpFault{"SyncDrop", "sync:drop", 0, "<eof>", "link=dropped-by-sim verdict=FAULT: link dropped at sync"},
                      TcpFault{"SyncWrong", "sync:wrong", 0, std::string(1, '\0'), "link=closed-by-host verdict=FAULT: wrong reply at sync"},
                      TcpFault{"HeaderSilent", "header:silent", 1, "", "link=closed-by-host verdict=FAULT: no reply at header"},
                      TcpFault{"NakAtRecordOne", "record:1:nak", 2, "N", "link=closed-by-host verdict=FAULT: NAK at section 1 record 1"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TcpServerTest, HostThatDoesNotWaitForADelayedAcknowledgementIsCaughtAndHungUpOn)
{
    m_plan.SetAckDelayMs(400);
    Start();
    Host host(Connect());
    host.Begin();
    host.Send(SmallRecord(0));
    host.Send(SmallRecord(1));  // while the START acknowledgement is still held back
    EXPECT_EQ(host.Receive(1), "<eof>");
    host.Close();
    const std::string summary = Summary();
    EXPECT_NE(summary.find("verdict=ERROR: host sent before acknowledgement: byte 0x01 at byte 82"),
              std::string::npos) << summary;
}

TEST_F(TcpServerTest, SilentHostIsGivenUpOnAfterTheIdleTimeOut)
{
    Start(200);
    Host host(Connect());
    host.Send(":UP:EXEC\r\n");
    EXPECT_EQ(host.Receive(1, 3000), "<eof>");
    const std::string summary = Summary();
    EXPECT_NE(summary.find("link=closed-by-sim verdict=ERROR: host went silent for 200 ms during the sync step"),
              std::string::npos) << summary;
}

// The host's side of a pseudo-terminal instrument, opened and set raw as the USB layer does.
int OpenTerminal(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
    termios settings{};
    ::tcgetattr(fd, &settings);
    ::cfmakeraw(&settings);
    ::tcsetattr(fd, TCSANOW, &settings);
    return fd;
}

TEST(PtyInstrumentTest, AnswersTheQueryWithItsNumberAtIndexEightThenTakesUpdates)
{
    CFaultPlan plan;
    CUpdateLedger ledger(std::nullopt, 2);
    std::vector<std::unique_ptr<CPtyInstrument>> instruments;
    std::string error;
    for (int i = 0; i < 2; ++i) {
        instruments.push_back(std::make_unique<CPtyInstrument>(i, i == 0 ? 3 : 0, ":OPT:ID?", "KP90,ID:",
                                                               plan, ledger, 5000));
        ASSERT_TRUE(instruments.back()->Open(error)) << error;
    }
    std::vector<std::thread> threads;
    for (auto& instrument : instruments)
        threads.emplace_back([&instrument] { instrument->Run(); });

    {
        Host first(OpenTerminal(instruments[0]->Path()));
        first.Send(":OPT:ID?\r\n");
        EXPECT_EQ(first.Receive(11), "KP90,ID:3\r\n");
    }
    Host second(OpenTerminal(instruments[1]->Path()));
    second.Send(":OPT:ID?\r\n");
    EXPECT_EQ(second.Receive(11), "KP90,ID:0\r\n");
    second.Begin(kSubLine);
    second.Send(SmallRecord(0));
    EXPECT_EQ(second.Receive(1), "Y");
    second.Send(Bytes{0x00, 0x00});
    // Stray bytes after the last END are named, and a new query still gets its answer.
    second.Send("junk\r\n");
    second.Send(":OPT:ID?\r\n");
    EXPECT_EQ(second.Receive(11), "KP90,ID:0\r\n");
    second.Begin();
    second.Send(Cat({SmallRecord(0), {0x03}}));  // record 1 begun before the acknowledgement
    EXPECT_EQ(second.Receive(1, 300), "");

    for (auto& thread : threads)
        thread.join();
    const auto lines = ledger.Summaries();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("kind=SUB sections=2 records=1 "), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find("device=1 link=open verdict=OK"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("verdict=ERROR: host sent before acknowledgement"), std::string::npos) << lines[1];
    EXPECT_TRUE(ledger.AnyFailed());
}

} // namespace
