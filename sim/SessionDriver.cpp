#include "sim/SessionDriver.h"

#include "sim/StopFlag.h"
#include "sim/WireSession.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace zorflash {

namespace {

using Clock = std::chrono::steady_clock;

int MsSince(Clock::time_point then)
{
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - then).count());
}

} // namespace

CFaultPlan CSessionDriver::PlanForNextUpdate(std::string& drawn)
{
    CFaultPlan plan = m_faults;
    drawn.clear();
    if (m_faults.RandomChance() <= 0)
        return plan;
    std::uniform_real_distribution<double> draw(0.0, 1.0);
    const double chance = draw(m_random);
    const double what = draw(m_random);
    const double where = draw(m_random);
    if (chance >= m_faults.RandomChance())
        return plan;
    drawn = CFaultPlan::RandomFault(what, where);
    std::string error;
    // Ahead of the instrument's own faults, which would otherwise hide it.
    plan.AddFirst(drawn, error);
    return plan;
}

CSessionDriver::Outcome CSessionDriver::Run(CByteLink& link, std::vector<uint8_t> first,
                                            const std::string& label)
{
    std::string drawn;
    const CFaultPlan plan = PlanForNextUpdate(drawn);
    const std::string extra = drawn.empty() ? label : label + (label.empty() ? "" : " ") + "random-fault=" + drawn;
    CWireSession session(plan);
    m_session = &session;
    m_link = &link;
    m_outcome = Outcome();
    m_input = std::move(first);
    m_image.reset();
    m_imagePath.clear();
    m_imageFailed = false;
    m_lastHeard = Clock::now();

    bool running = Feed();
    while (running) {
        if (StopRequested()) {
            if (m_outcome.number != 0)
                session.Stop("simulator stopped");
            break;
        }
        if (session.PendingReply()) {
            const ReplyStep step = CarryOut(*session.PendingReply());
            if (step == ReplyStep::Stop)
                break;
            running = step != ReplyStep::HostEnded;
            continue;
        }
        if (!link.SeesClose() && (session.Complete() || session.Refused()))
            break;
        if (session.WantsHangUp())
            link.HangUp();
        running = Listen();
    }
    return Finish(extra);
}

// Feeds what has arrived, writing the image as the session takes its bytes.
bool CSessionDriver::Feed()
{
    if (!m_input.empty() && m_outcome.number == 0) {
        m_outcome.number = m_ledger.Begin();
        std::string error;
        CUniqueFd image = m_ledger.CreateImage(m_outcome.number, m_imagePath, error);
        if (image.Valid()) {
            m_image.reset(::fdopen(image.Get(), "wb"));
            if (m_image)
                image.Release();
            else
                error = std::strerror(errno);
        }
        if (!m_imagePath.empty() && !m_image)
            m_ledger.PrintError("cannot write the image '" + m_imagePath + "': " + error);
    }
    while (!m_input.empty()) {
        const std::size_t taken = m_session->Feed(m_input.data(), m_input.size());
        const std::vector<uint8_t> bytes = m_session->TakeImageBytes();
        if (m_image && !bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), m_image.get()) != bytes.size())
            m_imageFailed = true;
        m_input.erase(m_input.begin(), m_input.begin() + static_cast<std::ptrdiff_t>(taken));
        if (m_session->OverLimit()) {
            // No instrument holds an image without end: it stops listening.
            m_link->Drop();
            m_session->LinkDroppedBySim();
            m_outcome.dropped = true;
            m_input.clear();
            return false;
        }
        if (m_session->Complete() && !m_link->SeesClose()) {
            m_outcome.rest = std::move(m_input);
            m_input.clear();
            return false;
        }
    }
    return true;
}

CSessionDriver::ReplyStep CSessionDriver::CarryOut(const SimReply& reply)
{
    const Delay delay = SpendDelay(reply.delayMs);
    if (delay == Delay::HostEnded)
        return ReplyStep::HostEnded;
    // A byte during the delay changes what the session owes: look at it again.
    if (delay == Delay::HostSpoke || StopRequested())
        return ReplyStep::Again;
    if (reply.drop) {
        m_link->Drop(reply.reset);
        m_session->LinkDroppedBySim();
        m_outcome.dropped = true;
        return ReplyStep::Stop;
    }
    if (!reply.bytes.empty() && !m_link->Write(reply.bytes, m_idleTimeoutMs)) {
        m_session->LinkResetByHost();
        return ReplyStep::Stop;
    }
    m_session->ReplyDone();
    m_lastHeard = Clock::now();
    return ReplyStep::Again;
}

// The delay is spent listening: a byte now means the host did not wait.
CSessionDriver::Delay CSessionDriver::SpendDelay(int delayMs)
{
    const auto delayStart = Clock::now();
    while (MsSince(delayStart) < delayMs && !StopRequested()) {
        const int slice = std::min(kWaitSliceMs, delayMs - MsSince(delayStart));
        const auto result = m_link->Read(m_input, std::max(slice, 1));
        if (result == CByteLink::ReadResult::Data) {
            Feed();
            return Delay::HostSpoke;
        }
        if (result != CByteLink::ReadResult::TimedOut) {
            result == CByteLink::ReadResult::Reset ? m_session->LinkResetByHost() : m_session->LinkClosedByHost();
            return Delay::HostEnded;
        }
    }
    return Delay::Spent;
}

bool CSessionDriver::Listen()
{
    const auto result = m_link->Read(m_input, kWaitSliceMs);
    if (result == CByteLink::ReadResult::Data) {
        m_lastHeard = Clock::now();
        return Feed();
    }
    if (result == CByteLink::ReadResult::Closed) {
        if (m_outcome.number != 0)
            m_session->LinkClosedByHost();
        return false;
    }
    if (result == CByteLink::ReadResult::Reset) {
        if (m_outcome.number != 0)
            m_session->LinkResetByHost();
        return false;
    }
    // From the accept on: a host that connects and says nothing holds the instrument no
    // longer than one that falls silent inside an update.
    if (MsSince(m_lastHeard) >= m_idleTimeoutMs) {
        if (m_outcome.number != 0)
            m_session->HostSilent(m_idleTimeoutMs);
        else
            m_outcome.silent = true;
        return false;
    }
    return true;
}

CSessionDriver::Outcome CSessionDriver::Finish(const std::string& label)
{
    m_outcome.complete = m_session->Complete();
    if (m_outcome.number != 0) {
        std::string extra = label;
        if (!m_imagePath.empty() && m_image) {
            const bool closed = std::fclose(m_image.release()) == 0;
            if (!closed || m_imageFailed)
                m_ledger.PrintError("write error on the image '" + m_imagePath + "'");
            extra += (extra.empty() ? "" : " ") + std::string("image=") + m_imagePath;
        }
        m_ledger.Finish(m_session->Summary(m_outcome.number, extra), m_session->HasError());
    }
    m_session = nullptr;
    m_link = nullptr;
    return std::move(m_outcome);
}

}  // namespace zorflash
