#include "sim/SessionDriver.h"

#include "sim/StopFlag.h"
#include "sim/WireSession.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>

namespace {

using Clock = std::chrono::steady_clock;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

int MsSince(Clock::time_point then)
{
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - then).count());
}

} // namespace

CSessionDriver::Outcome CSessionDriver::Run(CByteLink& link, std::vector<uint8_t> first,
                                            const std::string& label)
{
    CWireSession session(m_faults);
    Outcome outcome;
    std::unique_ptr<std::FILE, FileCloser> image;
    std::string imagePath;
    bool imageFailed = false;
    std::vector<uint8_t> input = std::move(first);
    auto lastHeard = Clock::now();

    // Feeds what has arrived; returns false once the update is over for a terminal.
    auto feed = [&]() {
        if (!input.empty() && outcome.number == 0) {
            outcome.number = m_ledger.Begin();
            imagePath = m_ledger.ImagePath(outcome.number);
            if (!imagePath.empty()) {
                image.reset(std::fopen(imagePath.c_str(), "wb"));
                if (!image)
                    m_ledger.PrintError("cannot write the image '" + imagePath + "'");
            }
        }
        while (!input.empty()) {
            const std::size_t taken = session.Feed(input.data(), input.size());
            const std::vector<uint8_t> bytes = session.TakeImageBytes();
            if (image && !bytes.empty()
                && std::fwrite(bytes.data(), 1, bytes.size(), image.get()) != bytes.size())
                imageFailed = true;
            input.erase(input.begin(), input.begin() + static_cast<std::ptrdiff_t>(taken));
            if (session.Complete() && !link.SeesClose()) {
                outcome.rest = std::move(input);
                input.clear();
                return false;
            }
        }
        return true;
    };

    bool running = feed();
    while (running) {
        if (StopRequested()) {
            if (outcome.number != 0)
                session.Stop("simulator stopped");
            break;
        }
        if (session.PendingReply()) {
            const SimReply reply = *session.PendingReply();
            // The delay is spent listening: a byte now means the host did not wait.
            const auto delayStart = Clock::now();
            bool interrupted = false;
            while (!interrupted && MsSince(delayStart) < reply.delayMs && !StopRequested()) {
                const int slice = std::min(kWaitSliceMs, reply.delayMs - MsSince(delayStart));
                const auto result = link.Read(input, std::max(slice, 1));
                if (result == CByteLink::ReadResult::Data) {
                    feed();
                    interrupted = true;
                } else if (result != CByteLink::ReadResult::TimedOut) {
                    result == CByteLink::ReadResult::Reset ? session.LinkResetByHost()
                                                           : session.LinkClosedByHost();
                    running = false;
                    interrupted = true;
                }
            }
            if (!running || interrupted || StopRequested())
                continue;
            if (reply.drop) {
                link.Drop();
                session.LinkDroppedBySim();
                outcome.dropped = true;
                break;
            }
            if (!reply.bytes.empty() && !link.Write(reply.bytes, m_idleTimeoutMs)) {
                session.LinkResetByHost();
                break;
            }
            session.ReplyDone();
            lastHeard = Clock::now();
            continue;
        }
        if (!link.SeesClose() && (session.Complete() || session.Refused()))
            break;
        if (session.WantsHangUp())
            link.HangUp();
        const auto result = link.Read(input, kWaitSliceMs);
        if (result == CByteLink::ReadResult::Data) {
            lastHeard = Clock::now();
            running = feed();
        } else if (result == CByteLink::ReadResult::Closed) {
            if (outcome.number != 0)
                session.LinkClosedByHost();
            running = false;
        } else if (result == CByteLink::ReadResult::Reset) {
            if (outcome.number != 0)
                session.LinkResetByHost();
            running = false;
        } else if (outcome.number != 0 && MsSince(lastHeard) >= m_idleTimeoutMs) {
            session.HostSilent(m_idleTimeoutMs);
            running = false;
        }
    }
    outcome.complete = session.Complete();
    if (outcome.number == 0)
        return outcome;

    std::string extra = label;
    if (!imagePath.empty() && image) {
        const bool closed = std::fclose(image.release()) == 0;
        if (!closed || imageFailed)
            m_ledger.PrintError("write error on the image '" + imagePath + "'");
        extra += (extra.empty() ? "" : " ") + std::string("image=") + imagePath;
    }
    m_ledger.Finish(session.Summary(outcome.number, extra), session.HasError());
    return outcome;
}
