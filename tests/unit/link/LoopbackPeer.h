#pragma once

// Real sockets on 127.0.0.1 for the link tests: a listener on a free port and the
// instrument's end of an accepted connection. Nothing here ever leaves the loopback.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

class CLoopbackListener {
public:
    explicit CLoopbackListener(int backlog = 8)
    {
        m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(m_fd, backlog);
        socklen_t size = sizeof address;
        getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &size);
        m_port = ntohs(address.sin_port);
    }
    ~CLoopbackListener() { Close(); }
    CLoopbackListener(const CLoopbackListener&) = delete;
    CLoopbackListener& operator=(const CLoopbackListener&) = delete;

    int Port() const { return m_port; }
    void Close()
    {
        if (m_fd >= 0)
            close(m_fd);
        m_fd = -1;
    }
    // The accepted connection's descriptor, or -1 when none came within timeoutMs.
    int Accept(int timeoutMs = 3000)
    {
        pollfd p{m_fd, POLLIN, 0};
        if (poll(&p, 1, timeoutMs) != 1)
            return -1;
        return accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
    }

private:
    int m_fd = -1;
    int m_port = 0;
};

inline bool WriteAll(int fd, const void* data, size_t size)
{
    const auto* bytes = static_cast<const uint8_t*>(data);
    while (size > 0) {
        const ssize_t n = send(fd, bytes, size, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        bytes += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

inline bool WriteAll(int fd, const std::string& text)
{
    return WriteAll(fd, text.data(), text.size());
}

// Reads until count bytes came, the peer closed, or nothing came for idleMs.
inline std::string ReadUpTo(int fd, size_t count, int idleMs = 2000)
{
    std::string got;
    char block[4096];
    while (got.size() < count) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, idleMs) != 1)
            break;
        const ssize_t n = recv(fd, block, std::min(sizeof block, count - got.size()), 0);
        if (n <= 0)
            break;
        got.append(block, static_cast<size_t>(n));
    }
    return got;
}

// Closes a connection with a reset instead of an orderly end.
inline void ResetAndClose(int fd)
{
    linger hard{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    close(fd);
}
