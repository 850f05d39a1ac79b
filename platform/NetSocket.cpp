#include "platform/NetSocket.h"

#include "platform/LastError.h"

// Name resolution reads the same on both socket libraries; only the headers that declare
// it differ. The sockets themselves are each system's own (posix/, win32/).
#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#endif

namespace zorflash {

bool CNetSocket::ResolveIPv4(const char* host, uint32_t& address)
{
    if (!host || !StartLibrary()) {
        SetLastError(kErrorInvalidArgument);
        return false;
    }
    const auto dotted = inet_addr(host);
    if (dotted != INADDR_NONE) {
        address = ntohl(dotted);
        return true;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &found) != 0 || !found) {
        SetLastError(kErrorInvalidArgument);
        return false;
    }
    address = ntohl(reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr);
    freeaddrinfo(found);
    return true;
}

}  // namespace zorflash
