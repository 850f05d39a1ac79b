#include "ReplyInstrument.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

CReplyInstrument::CReplyInstrument()
{
    m_listen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (m_listen < 0 || bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(m_listen, 4) != 0 || getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        std::perror("reply instrument");
        std::abort();
    }
    m_port = ntohs(addr.sin_port);
    m_stopFd = eventfd(0, EFD_CLOEXEC);
    m_thread = std::thread([this] { Serve(); });
}

CReplyInstrument::~CReplyInstrument()
{
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = write(m_stopFd, &one, sizeof one);
    m_thread.join();
    close(m_listen);
    close(m_stopFd);
}

void CReplyInstrument::Arm(std::vector<uint8_t> replies)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_replies = std::move(replies);
    m_closed = false;
}

bool CReplyInstrument::WaitClosed(int milliseconds)
{
    std::unique_lock<std::mutex> guard(m_lock);
    return m_changed.wait_for(guard, std::chrono::milliseconds(milliseconds), [this] { return m_closed; });
}

void CReplyInstrument::Serve()
{
    for (;;) {
        pollfd fds[2] = {{m_listen, POLLIN, 0}, {m_stopFd, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 || (fds[1].revents & POLLIN))
            return;
        const int fd = accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        std::vector<uint8_t> replies;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            replies = m_replies;
        }
        size_t sent = 0;
        while (sent < replies.size()) {
            const ssize_t n = send(fd, replies.data() + sent, replies.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                break;
            sent += static_cast<size_t>(n);
        }
        shutdown(fd, SHUT_WR);
        // Until the host closes: a host that never does is what WaitClosed reports.
        uint8_t sink[4096];
        for (;;) {
            pollfd p[2] = {{fd, POLLIN, 0}, {m_stopFd, POLLIN, 0}};
            if (poll(p, 2, -1) < 0 || (p[1].revents & POLLIN)) {
                close(fd);
                return;
            }
            if (recv(fd, sink, sizeof sink, 0) <= 0)
                break;
        }
        close(fd);
        std::lock_guard<std::mutex> guard(m_lock);
        m_closed = true;
        m_changed.notify_all();
    }
}
