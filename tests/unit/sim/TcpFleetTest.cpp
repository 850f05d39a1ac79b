#include "HostScript.h"

#include "sim/SimArguments.h"
#include "sim/TcpFleet.h"
#include "sim/UniqueFd.h"
#include "sim/UpdateLedger.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <algorithm>
#include <filesystem>
#include <fstream>
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

// One instrument on 127.0.0.1 serving on a thread until its ledger has seen `updates`.
class OneInstrument {
public:
    OneInstrument(std::optional<std::string> images, int updates, int idleMs, unsigned long long imageLimit = 0)
        : ledger(std::move(images), updates), fleet(ledger, idleMs)
    {
        std::vector<TcpEndpoint> endpoints;
        std::string error;
        EXPECT_TRUE(ParseTcpEndpoints("127.0.0.1:0", endpoints, error)) << error;
        EXPECT_TRUE(ParseFaultPlans({}, 1, 0, plans, error)) << error;
        if (imageLimit > 0)
            plans[0].SetImageLimit(imageLimit);
        EXPECT_TRUE(fleet.Listen(endpoints, plans, error)) << error;
        serving = std::thread([this] { fleet.Serve(); });
    }
    ~OneInstrument()
    {
        ledger.EndRun();
        serving.join();
    }
    int Port() { return fleet.Endpoint(0).port; }

    CUpdateLedger ledger;
    std::vector<CFaultPlan> plans;  // the instrument serves with a reference to its plan
    CTcpFleet fleet;
    std::thread serving;
};

std::string ReadWhole(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Images of an earlier run stay as they were, and a name planted as a link to a file
// outside the folder is passed over, never written through.
TEST(TcpFleetTest, ImagesNeverOverwriteOrFollowWhatIsThere)
{
    const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                      ("zorflash-sim-images-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir / "images");
    std::ofstream(dir / "images" / "update-0001.img") << "earlier run";
    std::ofstream(dir / "outside.txt") << "not the simulator's";
    std::filesystem::create_symlink(dir / "outside.txt", dir / "images" / "update-0002.img");
    {
        OneInstrument sim((dir / "images").string(), 1, 5000);
        Host host(Connect("127.0.0.1", sim.Port()));
        host.Play(GoodUpdate(kMainLine, {3}));
        host.Close();
        for (int i = 0; i < 500 && sim.ledger.Summaries().empty(); ++i)
            usleep(10000);
        ASSERT_EQ(sim.ledger.Summaries().size(), 1u);
        EXPECT_NE(sim.ledger.Summaries()[0].find("image=" + (dir / "images" / "update-0003.img").string()),
                  std::string::npos)
            << sim.ledger.Summaries()[0];
    }
    EXPECT_EQ(ReadWhole(dir / "images" / "update-0001.img"), "earlier run");
    EXPECT_EQ(ReadWhole(dir / "outside.txt"), "not the simulator's");
    EXPECT_EQ(ReadWhole(dir / "images" / "update-0003.img").substr(0, 32), kMainLine);
    std::filesystem::remove_all(dir);
}

// A host that connects and says nothing holds the instrument only for the idle time-out;
// one that streams records without end is cut off at the image limit with a FAULT verdict.
TEST(TcpFleetTest, SilentAndEndlessHostsLetGoOfTheInstrument)
{
    OneInstrument sim(std::nullopt, 1, 300, 56 + 4 * 1000);
    {
        Host silent(Connect("127.0.0.1", sim.Port()));
        EXPECT_EQ(silent.Receive(1, 3000), "<eof>") << "the instrument kept a silent connection";
    }
    Host endless(Connect("127.0.0.1", sim.Port()));
    endless.Play(Handshake());
    endless.Send(Records(0, 1));
    EXPECT_EQ(endless.Receive(1), "Y");
    endless.Send(Records(1, 2));
    EXPECT_EQ(endless.Receive(1), "Y");
    bool cut = false;
    for (int block = 0; block < 40 && !cut; ++block) {
        const Bytes records = Records(2 + 64 * block, 2 + 64 * (block + 1));
        if (::send(endless.Fd(), records.data(), records.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(records.size()))
            cut = true;
        else
            cut = endless.Receive(1) != "Y";
    }
    EXPECT_TRUE(cut) << "the instrument took records past its image limit";
    for (int i = 0; i < 500 && sim.ledger.Summaries().empty(); ++i)
        usleep(10000);
    ASSERT_EQ(sim.ledger.Summaries().size(), 1u);
    EXPECT_NE(sim.ledger.Summaries()[0].find("link=dropped-by-sim verdict=FAULT: image larger than 4056 bytes"),
              std::string::npos)
        << sim.ledger.Summaries()[0];
}

} // namespace
