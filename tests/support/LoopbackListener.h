#pragma once

// The one listening socket of the tests: a free port on 127.0.0.1, so nothing a test
// makes ever leaves the machine.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

// A listener on a free loopback port.
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
    ~CLoopbackListener() { close(m_fd); }
    CLoopbackListener(const CLoopbackListener&) = delete;
    CLoopbackListener& operator=(const CLoopbackListener&) = delete;

    int Port() const { return m_port; }
    int Fd() const { return m_fd; }
    // The accepted connection's descriptor, or -1 when none came within timeoutMs.
    int Accept(int timeoutMs = 3000)
    {
        pollfd p{m_fd, POLLIN, 0};
        return poll(&p, 1, timeoutMs) == 1 ? accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC) : -1;
    }

private:
    int m_fd = -1;
    int m_port = 0;
};
