#include "HostScript.h"

#include "sim/PtyInstrument.h"
#include "sim/SimArguments.h"
#include "sim/TcpFleet.h"
#include "sim/TcpServer.h"
#include "sim/UniqueFd.h"
#include "sim/UpdateLedger.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <algorithm>
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
    int Fd() const { return m_fd.Get(); }
    void Close() { m_fd.Reset(); }
    void Send(const Bytes& bytes) { ASSERT_EQ(::write(Fd(), bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size())); }

    // Up to `count` bytes within `ms`; "<eof>" if the instrument closed the link.
    std::string Receive(std::size_t count, int ms = 5000)
    {
        std::string got;
        while (got.size() < count) {
            pollfd p{Fd(), POLLIN, 0};
            if (::poll(&p, 1, ms) <= 0)
                break;
            char c[512];
            const ssize_t n = ::read(Fd(), c, std::min(sizeof c, count - got.size()));
            if (n <= 0)
                return got + "<eof>";
            got.append(c, static_cast<std::size_t>(n));
        }
        return got;
    }

    // Sends the steps, checking every reply, up to and including the step labelled `last`.
    void Play(const std::vector<Step>& steps, const std::string& last = {})
    {
        for (const Step& step : steps) {
            Send(step.send);
            if (step.label == last)
                return;
            if (step.reply) {
                EXPECT_EQ(Receive(step.reply->size()), *step.reply) << step.label;
            }
        }
    }

private:
    CUniqueFd m_fd;
};

// One update over TCP: what the host sees, what the simulator reports and the image it
// saves, which is every header and record byte it took, as received.
struct TcpCase {
    const char* name;
    const char* fault;
    int idleTimeoutMs;
    const char* last;      // the host's last step of a good update (empty: all of it)
    Bytes then;            // sent after it without waiting
    std::string seen;      // what the host then receives
    const char* summary;
};

class TcpServerTest : public ::testing::TestWithParam<TcpCase> {
protected:
    void TearDown() override
    {
        if (m_thread.joinable()) {
            m_ledger->EndRun();
            m_thread.join();
        }
        std::filesystem::remove_all(m_dir);
    }

    CFaultPlan m_plan;
    std::unique_ptr<CUpdateLedger> m_ledger;
    std::thread m_thread;
    std::filesystem::path m_dir =
        std::filesystem::temp_directory_path() / ("zorflash-sim-tcp-" + std::to_string(::getpid()));
};

TEST_P(TcpServerTest, HostSeesWhatTheSimulatorReports)
{
    const TcpCase& c = GetParam();
    std::string error;
    ASSERT_TRUE(!c.fault || m_plan.Add(c.fault, error)) << error;
    std::filesystem::create_directories(m_dir);
    m_ledger = std::make_unique<CUpdateLedger>(m_dir.string(), 1);
    CTcpServer server(m_plan, *m_ledger, c.idleTimeoutMs);
    ASSERT_TRUE(server.Listen("127.0.0.1", 0, error)) << error;
    m_thread = std::thread([&server] { server.Serve(); });

    Host host(::socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(server.Port()));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(host.Fd(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const auto steps = GoodUpdate(kMainLine, {3});
    host.Play(steps, c.last);
    host.Send(c.then);
    EXPECT_EQ(host.Receive(1, 1000), c.seen);
    host.Close();
    m_thread.join();

    const auto lines = m_ledger->Summaries();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(c.summary), std::string::npos) << lines[0];
    Bytes expected;
    for (std::size_t i = 0; i < steps.size() && (i == 0 || steps[i - 1].label != c.last); ++i) {
        if (i >= 4)  // after the header-size step
            expected.insert(expected.end(), steps[i].send.begin(), steps[i].send.end());
    }
    std::ifstream image(m_dir / "update-0001.img", std::ios::binary);
    EXPECT_EQ(Bytes(std::istreambuf_iterator<char>(image), std::istreambuf_iterator<char>()), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TcpServerTest,
    ::testing::Values(
        TcpCase{"Good", nullptr, 5000, "", {}, "", "link=closed-by-host verdict=OK"},
        TcpCase{"SyncDrop", "sync:drop", 5000, "sync", {}, "<eof>", "link=dropped-by-sim verdict=FAULT: link dropped at sync"},
        TcpCase{"SyncWrong", "sync:wrong", 5000, "sync", {}, std::string(1, '\0'), "link=closed-by-host verdict=FAULT: wrong reply at sync"},
        TcpCase{"HeaderSilent", "header:silent", 5000, "header", {}, "", "link=closed-by-host verdict=FAULT: no reply at header"},
        TcpCase{"NakAtRecordOne", "record:1:nak", 5000, "s1r1", {}, "N", "link=closed-by-host verdict=FAULT: NAK at section 1 record 1"},
        // Record 1 sent while the START acknowledgement is still held back: hung up on.
        TcpCase{"NoWaitForADelayedAcknowledgement", "start:delay:400", 5000, "s1r0", Records(1, 2), "<eof>",
                "verdict=ERROR: host sent before acknowledgement: byte 0x01 at byte 82"},
        TcpCase{"SilentHost", nullptr, 200, "command", {}, "<eof>",
                "link=closed-by-sim verdict=ERROR: host went silent for 200 ms during the sync step"}),
    [](const auto& info) { return std::string(info.param.name); });

int Connect(const std::string& host, int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    ::inet_pton(AF_INET, host.c_str(), &address.sin_addr);
    EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0) << host << ":" << port;
    return fd;
}

// A fleet on a range of loopback addresses shares one free port; each instrument answers
// with its own faults, all at once, and each summary line says whose it is.
TEST(TcpFleetTest, InstrumentsOnARangeAnswerAtOnceEachWithItsOwnFaults)
{
    std::vector<TcpEndpoint> endpoints;
    std::vector<CFaultPlan> plans;
    std::string error;
    ASSERT_TRUE(ParseTcpEndpoints("127.0.0.2-127.0.0.4:0", endpoints, error)) << error;
    ASSERT_TRUE(ParseFaultPlans({"1:sync:wrong", "2:sync:drop"}, 3, 0, plans, error)) << error;
    CUpdateLedger ledger(std::nullopt, 3);
    CTcpFleet fleet(ledger, 5000);
    ASSERT_TRUE(fleet.Listen(endpoints, plans, error)) << error;
    ASSERT_EQ(fleet.Size(), 3);
    const int port = fleet.Endpoint(0).port;
    EXPECT_NE(port, 0);
    std::thread serving([&fleet] { fleet.Serve(); });

    // Every host is connected and past its command before any of them is answered.
    std::vector<std::unique_ptr<Host>> hosts;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(fleet.Endpoint(i).port, port);
        hosts.push_back(std::make_unique<Host>(Connect(fleet.Endpoint(i).host, port)));
        hosts.back()->Send(Text(":UP:EXEC\r\n"));
    }
    const std::vector<std::string> replies = {"\xAA", std::string(1, '\0'), "<eof>"};
    for (int i = 0; i < 3; ++i) {
        hosts[i]->Send({0x55});
        EXPECT_EQ(hosts[i]->Receive(1, 2000), replies[i]) << "instrument " << i;
    }
    hosts.clear();
    serving.join();

    std::vector<std::string> lines = ledger.Summaries();
    std::sort(lines.begin(), lines.end(), [](const std::string& a, const std::string& b) {
        return a.substr(a.find("instrument=")) < b.substr(b.find("instrument="));
    });
    ASSERT_EQ(lines.size(), 3u);
    const std::vector<std::string> expected = {
        "instrument=0 tcp=127.0.0.2:" + std::to_string(port) + " link=closed-by-host verdict=ERROR: link closed by the host during the identification",
        "instrument=1 tcp=127.0.0.3:" + std::to_string(port) + " link=closed-by-host verdict=FAULT: wrong reply at sync",
        "instrument=2 tcp=127.0.0.4:" + std::to_string(port) + " link=dropped-by-sim verdict=FAULT: link dropped at sync"};
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_NE(lines[i].find(expected[i]), std::string::npos) << lines[i];
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
        first.Send(Text(":OPT:ID?\r\n"));
        EXPECT_EQ(first.Receive(11), "KP90,ID:3\r\n");
    }
    Host second(OpenTerminal(instruments[1]->Path()));
    second.Send(Text(":OPT:ID?\r\n"));
    EXPECT_EQ(second.Receive(11), "KP90,ID:0\r\n");
    second.Play(GoodUpdate(kSubLine, {1, 0}));
    // Stray bytes after the last END are named, and a new query still gets its answer.
    second.Send(Text("junk\r\n:OPT:ID?\r\n"));
    EXPECT_EQ(second.Receive(11), "KP90,ID:0\r\n");
    second.Play(Handshake());
    second.Send(Cat({Records(0, 1), {0x03}}));  // record 1 begun before the acknowledgement
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
