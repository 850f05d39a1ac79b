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

#include "FuzzCheck.h"
#include "sim/ByteLink.h"
#include "sim/SessionDriver.h"
#include "sim/UpdateLedger.h"
#include "sim/WireSession.h"

#include <sys/socket.h>
#include <sys/time.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

using namespace zorflash;
namespace fs = std::filesystem;

namespace {

const char* const kPlans[] = {
    nullptr,          "sync:wrong",          "ident:short",     "ident:wrong",
    "header-size:silent", "header:nak",      "start:drop",      "ack:delay:1",
    "record:1:wrong", "s2:record:0:nak",     "record:65:silent", "s2:record:1:drop",
};

// The host sends up to `end` and waits for `reply`. After a silence or a drop (`last`) it
// sends no more: when a host went on after a silence is a matter of timing, and the
// session's verdict would be too.
struct Step { std::size_t end; std::string reply; bool last; };
struct Expected { std::vector<Step> steps; std::string image; std::string verdict; };

Expected DryRun(const CFaultPlan& plan, const uint8_t* host, std::size_t size)
{
    Expected expected;
    CWireSession session(plan);
    for (std::size_t i = 0; i < size && (expected.steps.empty() || !expected.steps.back().last); ++i) {
        session.Feed(host + i, 1);
        std::ranges::copy(session.TakeImageBytes(), std::back_inserter(expected.image));
        if (const auto& reply = session.PendingReply()) {
            expected.steps.push_back({i + 1, reply->drop ? "" : reply->bytes, reply->drop || reply->bytes.empty()});
            reply->drop ? session.LinkDroppedBySim() : session.ReplyDone();
        }
    }
    session.LinkClosedByHost();  // the verdict stands once the instrument has dropped
    expected.verdict = session.Verdict();
    return expected;
}

// The socket waits at most 5 s for a reply (SO_RCVTIMEO): far beyond any the session owes.
void Host(int fd, const uint8_t* data, std::size_t size, const Expected& expected, std::string& fault)
{
    std::size_t sent = 0;
    for (const Step& step : expected.steps) {
        ::send(fd, data + sent, step.end - sent, MSG_NOSIGNAL);
        sent = step.end;
        std::string got(step.reply.size(), '\0');
        if (!got.empty() && (::recv(fd, got.data(), got.size(), MSG_WAITALL) != static_cast<ssize_t>(got.size()) || got != step.reply)) {
            fault = "after byte " + std::to_string(step.end) + " the reply \"" + step.reply + "\" was due";
            return;
        }
        if (step.last)
            size = sent;
    }
    ::send(fd, data + sent, size - sent, MSG_NOSIGNAL);
    ::shutdown(fd, SHUT_WR);
    char extra = 0;
    if (::recv(fd, &extra, 1, 0) != 0)
        fault = "a byte no reply point called for, or no end of the link";
}

const fs::path& Images()
{
    static const fs::path images = [] {
        // The summary lines are checked through the ledger; on stdout they are noise.
        char root[] = "/tmp/fuzz-sim-XXXXXX";
        if (!std::freopen("/dev/null", "w", stdout) || !::mkdtemp(root) || !fs::create_directory(fs::path(root) / "images"))
            FuzzFail("no image folder");
        return fs::path(root) / "images";
    }();
    // Registered once the path is made, so that it runs before the path is destroyed.
    [[maybe_unused]] static const bool cleanup = std::atexit([] { fs::remove_all(Images().parent_path()); }) == 0;
    return images;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const fs::path& images = Images();
    if (size < 2)  // the session begins with the host's first byte
        return 0;
    CFaultPlan plan;
    std::string error;
    if (const char* fault = kPlans[data[0] % std::size(kPlans)]; fault && !plan.Add(fault, error))
        FuzzFail("fault plan", error);
    const Expected expected = DryRun(plan, data + 1, size - 1);

    int pair[2];
    const timeval wait{5, 0};
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0
        || ::setsockopt(pair[1], SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait) != 0)
        FuzzFail("no socket pair");
    const CUniqueFd hostEnd(pair[1]);
    CUpdateLedger ledger(images.string(), 1);
    std::string hostFault;
    {
        CByteLink link(CByteLink::Kind::Socket, CUniqueFd(pair[0]));
        std::thread host(Host, pair[1], data + 1, size - 1, std::cref(expected), std::ref(hostFault));
        CSessionDriver(plan, ledger, 5000).Run(link, {});
        link.Drop();
        host.join();
    }
    if (!hostFault.empty())
        FuzzFail("the replies on the wire are not the session's", hostFault);

    const std::vector<std::string> summaries = ledger.Summaries();
    const std::string summary = summaries.size() == 1 ? summaries[0] : "";
    const std::size_t verdict = summary.find(" verdict=");
    if (verdict == std::string::npos || summary.substr(verdict + 9) != expected.verdict
        || std::any_of(summary.begin(), summary.end(), [](char c) { return static_cast<uint8_t>(c) < 0x20 || c == 0x7F; }))
        FuzzFail("not one summary line with the session's verdict", summary + "\nexpected: " + expected.verdict);
    const fs::path image = images / "update-0001.img";
    if (std::distance(fs::directory_iterator(images.parent_path()), {}) != 1
        || std::distance(fs::directory_iterator(images), {}) != 1 || !fs::is_regular_file(image))
        FuzzFail("a file written outside the update's image");
    std::ifstream in(image, std::ios::binary);
    if (std::string(std::istreambuf_iterator<char>(in), {}) != expected.image)
        FuzzFail("the image is not the header and record bytes taken");
    fs::remove(image);
    return 0;
}
