// What a host may send the simulator over TCP: any bytes, through the simulator's own
// session driver on a socket pair, with one of a set of planned faults. The host here is
// patient: it waits for every reply the instrument owes before it sends on, so that the
// fuzzer can reach records and ENDs instead of being refused at the first reply point.
// Where the replies fall is worked out beforehand by the wire session alone, fed the
// same bytes one at a time; the driver must then:
// - write every reply the session offered, as offered, and nothing else;
// - end every update with one summary line, no control character in it, whose verdict
//   is the session's own;
// - write the update's image, exactly the header and record bytes taken, and no other
//   file, only in its image folder.
//
// Input: byte 0 picks the fault plan; the rest is what the host sends.

#include "sim/ByteLink.h"
#include "sim/FaultPlan.h"
#include "sim/SessionDriver.h"
#include "sim/UniqueFd.h"
#include "sim/UpdateLedger.h"
#include "sim/WireSession.h"

#include <dirent.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

using namespace zorflash;

namespace {

[[noreturn]] void Fail(const char* what, const std::string& detail = {})
{
    std::fprintf(stderr, "sim session: %s\n%s\n", what, detail.c_str());
    std::abort();
}

const char* const kPlans[] = {
    nullptr,          "sync:wrong",      "ident:short",     "ident:wrong",
    "header-size:silent", "header:nak",  "start:drop",      "ack:delay:1",
    "record:1:wrong", "s2:record:0:nak", "record:65:silent", "s2:record:1:drop",
};
constexpr std::size_t kPlanCount = sizeof kPlans / sizeof kPlans[0];
// Far beyond any wait of a session whose host has closed its end.
constexpr int kReplyTimeoutMs = 5000;
constexpr int kIdleTimeoutMs = 5000;

// Sends up to the point where a reply is due, then what the instrument should answer.
// After a silence or a drop the host sends no more: when it went on after a silence is a
// matter of timing, and the session's verdict would be too.
struct Step {
    std::size_t end = 0;
    std::string reply;
    bool last = false;
};

struct Expected {
    std::vector<Step> steps;
    std::vector<uint8_t> image;
    std::string verdict;
};

Expected DryRun(const CFaultPlan& plan, const uint8_t* host, std::size_t size)
{
    Expected expected;
    CWireSession session(plan);
    bool dropped = false;
    bool last = false;
    for (std::size_t i = 0; i < size && !last; ++i) {
        if (session.Feed(host + i, 1) != 1)
            Fail("the session did not take a byte");
        const auto bytes = session.TakeImageBytes();
        expected.image.insert(expected.image.end(), bytes.begin(), bytes.end());
        if (const auto& reply = session.PendingReply()) {
            dropped = reply->drop;
            last = reply->drop || reply->bytes.empty();
            expected.steps.push_back({i + 1, dropped ? std::string() : reply->bytes, last});
            if (dropped)
                session.LinkDroppedBySim();
            else
                session.ReplyDone();
        }
    }
    if (!dropped)
        session.LinkClosedByHost();
    expected.verdict = session.Verdict();
    return expected;
}

// True when `fd` yields exactly `want` within the time-out.
bool ReadExactly(int fd, const std::string& want, std::string& got)
{
    while (got.size() < want.size()) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, kReplyTimeoutMs) <= 0)
            return false;
        char chunk[64];
        const ssize_t n = ::read(fd, chunk, std::min(sizeof chunk, want.size() - got.size()));
        if (n <= 0)
            return false;
        got.append(chunk, static_cast<std::size_t>(n));
    }
    return got == want;
}

bool SendAll(int fd, const uint8_t* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// The host: each step's bytes, then its reply, then the rest and the end of its side.
void Host(int fd, const uint8_t* data, std::size_t size, const Expected& expected, std::string& fault)
{
    std::size_t sent = 0;
    for (const Step& step : expected.steps) {
        if (!SendAll(fd, data + sent, step.end - sent))
            return;
        sent = step.end;
        std::string got;
        if (!ReadExactly(fd, step.reply, got)) {
            if (!step.reply.empty() || !step.last)
                fault = "after byte " + std::to_string(step.end) + " the reply \"" + step.reply
                        + "\" was due, got \"" + got + "\"";
            return;
        }
        if (step.last)
            break;
    }
    if (expected.steps.empty() || !expected.steps.back().last)
        SendAll(fd, data + sent, size - sent);
    ::shutdown(fd, SHUT_WR);
    // Nothing more is owed: whatever comes now is a reply the session never offered.
    pollfd p{fd, POLLIN, 0};
    char extra = 0;
    if (::poll(&p, 1, kReplyTimeoutMs) > 0 && ::read(fd, &extra, 1) == 1)
        fault = "a byte no reply point called for";
}

std::vector<std::string> Entries(const std::string& folder)
{
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        ::closedir(dir);
    }
    return names;
}

struct Folders {
    std::string root;
    std::string images;
};

const Folders& Workspace()
{
    static const Folders folders = [] {
        // The summary lines are checked through the ledger; on stdout they are noise.
        if (!std::freopen("/dev/null", "w", stdout))
            Fail("stdout not redirected");
        char root[] = "/tmp/fuzz-sim-XXXXXX";
        if (!::mkdtemp(root))
            Fail("no temporary folder");
        Folders made{root, std::string(root) + "/images"};
        if (::mkdir(made.images.c_str(), 0700) != 0)
            Fail("no image folder");
        return made;
    }();
    // Registered once the folders are made, so that it runs before they are destroyed.
    static const bool cleanup = std::atexit([] {
        std::remove((Workspace().images + "/update-0001.img").c_str());
        ::rmdir(Workspace().images.c_str());
        ::rmdir(Workspace().root.c_str());
    }) == 0;
    static_cast<void>(cleanup);
    return folders;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const Folders& folders = Workspace();
    if (size < 1)
        return 0;
    CFaultPlan plan;
    std::string error;
    if (const char* fault = kPlans[data[0] % kPlanCount]; fault && !plan.Add(fault, error))
        Fail("fault plan", error);
    const uint8_t* host = data + 1;
    const std::size_t hostSize = size - 1;
    const Expected expected = DryRun(plan, host, hostSize);

    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        Fail("no socket pair");
    CUniqueFd hostEnd(pair[1]);
    CUpdateLedger ledger(folders.images, 1);
    std::string hostFault;
    {
        CByteLink link(CByteLink::Kind::Socket, CUniqueFd(pair[0]));
        std::thread hostThread(Host, hostEnd.Get(), host, hostSize, std::cref(expected), std::ref(hostFault));
        CSessionDriver driver(plan, ledger, kIdleTimeoutMs);
        driver.Run(link, {});
        link.Drop();
        hostThread.join();
    }
    if (!hostFault.empty())
        Fail("the replies on the wire are not the session's", hostFault);

    const std::vector<std::string> summaries = ledger.Summaries();
    const std::string image = folders.images + "/update-0001.img";
    if (hostSize == 0) {
        if (!summaries.empty() || !Entries(folders.images).empty())
            Fail("an update without a byte from the host");
        return 0;
    }
    if (summaries.size() != 1)
        Fail("not one summary line for the update");
    const std::string& summary = summaries[0];
    for (const char c : summary) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            Fail("a control character in the summary line", summary);
    }
    const std::size_t verdict = summary.find(" verdict=");
    if (summary.rfind("update 1: ", 0) != 0 || verdict == std::string::npos
        || summary.substr(verdict + 9) != expected.verdict)
        Fail("the summary's verdict is not the session's", summary + "\nexpected: " + expected.verdict);

    if (Entries(folders.root) != std::vector<std::string>{"images"}
        || Entries(folders.images) != std::vector<std::string>{"update-0001.img"})
        Fail("a file written outside the update's image");
    std::ifstream in(image, std::ios::binary);
    const std::vector<uint8_t> written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (written != expected.image)
        Fail("the image is not the header and record bytes taken");
    std::remove(image.c_str());
    return 0;
}
