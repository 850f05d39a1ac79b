#include "sim/ByteLink.h"

#include <cerrno>
#include <chrono>
#include <poll.h>
#include <sys/socket.h>
#include <thread>

namespace zorflash {

CByteLink::ReadResult CByteLink::Read(std::vector<uint8_t>& out, int timeoutMs)
{
    if (m_raw < 0)
        return ReadResult::Closed;
    pollfd p{m_raw, POLLIN, 0};
    const int ready = ::poll(&p, 1, timeoutMs);
    if (ready <= 0)
        return ReadResult::TimedOut;
    uint8_t chunk[65536];
    const ssize_t n = ::read(m_raw, chunk, sizeof chunk);
    if (n > 0) {
        out.insert(out.end(), chunk, chunk + n);
        return ReadResult::Data;
    }
    if (n == 0)
        return m_kind == Kind::Socket ? ReadResult::Closed : ReadResult::TimedOut;
    if (errno == EINTR || errno == EAGAIN)
        return ReadResult::TimedOut;
    if (m_kind == Kind::Terminal) {
        // EIO on a master means no slave is open just now; the host may yet open one.
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(timeoutMs, 50)));
        return ReadResult::TimedOut;
    }
    return errno == ECONNRESET ? ReadResult::Reset : ReadResult::Closed;
}

bool CByteLink::Write(const std::string& bytes, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0 || m_raw < 0)
            return false;
        pollfd p{m_raw, POLLOUT, 0};
        if (::poll(&p, 1, static_cast<int>(left)) <= 0)
            continue;
        const ssize_t n = m_kind == Kind::Socket
                              ? ::send(m_raw, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL)
                              : ::write(m_raw, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno != EINTR && errno != EAGAIN)
            return false;
        if (n > 0)
            done += static_cast<std::size_t>(n);
    }
    return true;
}

void CByteLink::HangUp()
{
    if (m_kind == Kind::Socket && !m_hungUp && m_raw >= 0) {
        ::shutdown(m_raw, SHUT_WR);
        m_hungUp = true;
    }
}

void CByteLink::Drop(bool reset)
{
    if (m_kind == Kind::Socket) {
        if (reset && m_raw >= 0) {
            const linger abort{1, 0};
            ::setsockopt(m_raw, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
        }
        m_fd.Reset();
        m_raw = -1;
    }
}

}  // namespace zorflash
