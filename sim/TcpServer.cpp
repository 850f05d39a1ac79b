#include "sim/TcpServer.h"

#include "sim/ByteLink.h"
#include "sim/SessionDriver.h"
#include "sim/StopFlag.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

namespace zorflash {

bool CTcpServer::Listen(const std::string& host, int port, std::string& error)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (port < 0 || port > 65535 || ::inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1) {
        error = "'" + host + ":" + std::to_string(port) + "' is not an IPv4 address and port";
        return false;
    }
    CUniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const int yes = 1;
    if (!fd.Valid() || ::setsockopt(fd.Get(), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes) != 0
        || ::bind(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || ::listen(fd.Get(), 8) != 0) {
        error = "cannot listen on " + host + ":" + std::to_string(port) + ": " + std::strerror(errno);
        return false;
    }
    socklen_t length = sizeof address;
    ::getsockname(fd.Get(), reinterpret_cast<sockaddr*>(&address), &length);
    m_port = ntohs(address.sin_port);
    m_listener = std::move(fd);
    return true;
}

void CTcpServer::Serve()
{
    CSessionDriver driver(m_faults, m_ledger, m_idleTimeoutMs);
    while (!StopRequested() && !m_ledger.Exhausted()) {
        pollfd p{m_listener.Get(), POLLIN, 0};
        if (::poll(&p, 1, kWaitSliceMs) <= 0)
            continue;
        CUniqueFd connection(::accept4(m_listener.Get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (!connection.Valid())
            continue;
        // Replies are single bytes the host waits for; they must not sit in Nagle's queue.
        const int yes = 1;
        ::setsockopt(connection.Get(), IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        CByteLink link(CByteLink::Kind::Socket, std::move(connection));
        const auto outcome = driver.Run(link, {}, m_label);
        if (outcome.silent)
            m_ledger.PrintError("a connection sent nothing for " + std::to_string(m_idleTimeoutMs) +
                                " ms and was closed");
        else if (outcome.number == 0 && !StopRequested())
            m_ledger.PrintError("a connection closed before the host sent a byte");
    }
}

}  // namespace zorflash
