#include "platform/NetSocket.h"

#include "platform/LastError.h"
#include "platform/posix/PollWait.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace zorflash {

namespace {
int AbortFdOf(const CAbortSignal* abort)
{
    return static_cast<int>(WaitHandleOf(abort));
}
}  // namespace

bool CNetSocket::StartLibrary()
{
    return true;
}

CNetSocket::CNetSocket() = default;

CNetSocket::~CNetSocket()
{
    Close();
}

bool CNetSocket::Open()
{
    Close();
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) {
        SetLastError(static_cast<uint32_t>(errno));
        return false;
    }
    m_socket = fd;
    // Each send is one whole protocol message (a byte, a record, a block) followed by a
    // wait for the instrument's answer; Nagle's algorithm would only hold back its tail.
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return true;
}

bool CNetSocket::IsOpen() const
{
    return m_socket >= 0;
}

void CNetSocket::Close()
{
    if (m_socket >= 0) {
        close(static_cast<int>(m_socket));
        m_socket = -1;
    }
}

intptr_t CNetSocket::Native() const
{
    return m_socket;
}

bool CNetSocket::Adopt(intptr_t socket)
{
    Close();
    m_socket = socket;
    return true;
}

bool CNetSocket::ListenOnLoopback(uint16_t port, int backlog)
{
    if (!Open())
        return false;
    const int fd = static_cast<int>(m_socket);
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    local.sin_port = htons(port);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 || listen(fd, backlog) != 0) {
        const uint32_t error = static_cast<uint32_t>(errno);
        Close();
        SetLastError(error);
        return false;
    }
    return true;
}

uint16_t CNetSocket::LocalPort() const
{
    sockaddr_in local{};
    socklen_t size = sizeof local;
    if (m_socket < 0 || getsockname(static_cast<int>(m_socket), reinterpret_cast<sockaddr*>(&local), &size) != 0)
        return 0;
    return ntohs(local.sin_port);
}

uint32_t CNetSocket::Accept(CNetSocket& peer, const CAbortSignal* abort, DeadlineClock::time_point deadline)
{
    if (m_socket < 0)
        return EBADF;
    const int fd = static_cast<int>(m_socket);
    for (;;) {
        const int accepted = accept4(fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (accepted >= 0) {
            const int on = 1;
            setsockopt(accepted, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            peer.Adopt(accepted);
            return 0;
        }
        if (errno == EINTR || errno == ECONNABORTED)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return static_cast<uint32_t>(errno);
        const uint32_t waited = PollWait(fd, POLLIN, AbortFdOf(abort), deadline);
        if (waited != 0)
            return waited;
    }
}

uint32_t CNetSocket::Connect(uint32_t address, uint16_t port, const CAbortSignal* abort,
                             DeadlineClock::time_point deadline)
{
    if (m_socket < 0)
        return EBADF;
    const int fd = static_cast<int>(m_socket);
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_addr.s_addr = htonl(address);
    target.sin_port = htons(port);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0)
        return 0;
    if (errno != EINPROGRESS)
        return static_cast<uint32_t>(errno);
    const uint32_t waited = PollWait(fd, POLLOUT, AbortFdOf(abort), deadline);
    if (waited != 0)
        return waited;
    int error = 0;
    socklen_t size = sizeof error;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0)
        error = errno;
    return static_cast<uint32_t>(error);
}

uint32_t CNetSocket::SendSome(const uint8_t* data, uint32_t length, uint32_t& sent, const CAbortSignal* abort,
                              DeadlineClock::time_point deadline)
{
    sent = 0;
    if (m_socket < 0)
        return EBADF;
    const int fd = static_cast<int>(m_socket);
    for (;;) {
        // MSG_NOSIGNAL: a peer that has gone gives EPIPE here, never a SIGPIPE that would
        // end the process.
        const ssize_t n = send(fd, data, length, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0 || (n == 0 && length == 0)) {
            sent = static_cast<uint32_t>(n);
            return 0;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return static_cast<uint32_t>(errno);
        const uint32_t waited = PollWait(fd, POLLOUT, AbortFdOf(abort), deadline);
        if (waited != 0)
            return waited;
    }
}

uint32_t CNetSocket::ReceiveSome(uint8_t* buffer, uint32_t length, uint32_t& received, const CAbortSignal* abort,
                                 DeadlineClock::time_point deadline)
{
    received = 0;
    if (m_socket < 0)
        return EBADF;
    const int fd = static_cast<int>(m_socket);
    for (;;) {
        const ssize_t n = recv(fd, buffer, length, MSG_DONTWAIT);
        if (n >= 0) {
            received = static_cast<uint32_t>(n);
            return 0;
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return static_cast<uint32_t>(errno);
        const uint32_t waited = PollWait(fd, POLLIN, AbortFdOf(abort), deadline);
        if (waited != 0)
            return waited;
    }
}

}  // namespace zorflash
