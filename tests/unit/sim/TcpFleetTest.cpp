#include "HostScript.h"

#include "sim/SimArguments.h"
#include "sim/TcpFleet.h"
#include "sim/UniqueFd.h"
#include "sim/UpdateLedger.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <algorithm>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace simtest;

using namespace zorflash;

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

} // namespace
