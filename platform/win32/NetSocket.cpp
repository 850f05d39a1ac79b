#include "platform/NetSocket.h"

#include "platform/LastError.h"

#define WIN32_LEAN_AND_MEAN
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

namespace zorflash {

// Winsock 2 in non-blocking mode: every call is tried first, and only when it would block
// does the channel wait, on the event that WSAEventSelect ties to the socket's readiness
// and on the abort signal's event together. The event records readiness that arrived
// since the last try, so nothing that happens between a try and its wait is missed.

namespace {

SOCKET SocketOf(intptr_t value)
{
    return static_cast<SOCKET>(value);
}

HANDLE EventOf(intptr_t value)
{
    return reinterpret_cast<HANDLE>(value);
}

// Ends the library's use when the process ends; started once, on first use.
class CWinsock {
public:
    CWinsock()
    {
        WSADATA data{};
        const int started = WSAStartup(MAKEWORD(2, 0), &data);
        if (started != 0)
            return;
        // The version the library offers for use must be exactly 2.0.
        if (data.wVersion != MAKEWORD(2, 0)) {
            WSACleanup();
            return;
        }
        m_started = true;
    }
    ~CWinsock()
    {
        if (m_started)
            WSACleanup();
    }
    bool Started() const { return m_started; }

private:
    bool m_started = false;
};

// A send and a receive under way at once on two threads share the socket's event, and
// one may take the readiness the other waits for; no wait lasts longer than this before
// its call is tried again.
constexpr int64_t kLongestSliceMs = 100;

// Waits for one of the network events in mask (or the deadline, or the abort signal).
// 0 when the socket reported something, or a slice passed: the caller tries its call
// again and learns.
uint32_t WaitReady(SOCKET socket, HANDLE event, long mask, const CAbortSignal* abort,
                   DeadlineClock::time_point deadline, int* connectError = nullptr)
{
    const HANDLE abortEvent = abort && abort->WaitHandle() != kNoWaitHandle ? EventOf(abort->WaitHandle()) : nullptr;
    for (;;) {
        if (abort && abort->IsTriggered())
            return kErrorCancelled;
        HANDLE handles[2] = {event, abortEvent};
        const int64_t left = MillisecondsLeft(deadline);
        const DWORD waited = WaitForMultipleObjects(abortEvent ? 2 : 1, handles, FALSE,
                                                    static_cast<DWORD>(left < kLongestSliceMs ? left : kLongestSliceMs));
        if (waited == WAIT_TIMEOUT && left > kLongestSliceMs && !connectError)
            return 0;
        if (waited == WAIT_OBJECT_0 + 1)
            return kErrorCancelled;
        if (waited == WAIT_FAILED)
            return GetLastError();
        if (waited == WAIT_OBJECT_0) {
            WSANETWORKEVENTS events{};
            if (WSAEnumNetworkEvents(socket, event, &events) != 0)
                return static_cast<uint32_t>(WSAGetLastError());
            if (connectError && (events.lNetworkEvents & FD_CONNECT)) {
                *connectError = events.iErrorCode[FD_CONNECT_BIT];
                return 0;
            }
            if (events.lNetworkEvents & (mask | FD_CLOSE))
                return 0;
        }
        if (DeadlineClock::now() >= deadline)
            return kErrorTimeout;
    }
}

}  // namespace

bool CNetSocket::StartLibrary()
{
    static const CWinsock winsock;
    return winsock.Started();
}

CNetSocket::CNetSocket() = default;

CNetSocket::~CNetSocket()
{
    Close();
}

bool CNetSocket::Open()
{
    Close();
    if (!StartLibrary()) {
        SetLastError(WSANOTINITIALISED);
        return false;
    }
    const SOCKET socket =
        WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    if (socket == INVALID_SOCKET) {
        SetLastError(static_cast<DWORD>(WSAGetLastError()));
        return false;
    }
    m_socket = static_cast<intptr_t>(socket);
    const HANDLE event = WSACreateEvent();
    if (event == WSA_INVALID_EVENT) {
        const DWORD error = static_cast<DWORD>(WSAGetLastError());
        Close();
        SetLastError(error);
        return false;
    }
    m_event = reinterpret_cast<intptr_t>(event);
    // Also makes the socket non-blocking.
    if (WSAEventSelect(socket, event, FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE) != 0) {
        const DWORD error = static_cast<DWORD>(WSAGetLastError());
        Close();
        SetLastError(error);
        return false;
    }
    // Each send is one whole protocol message (a byte, a record, a block) followed by a
    // wait for the instrument's answer; Nagle's algorithm would only hold back its tail.
    const BOOL on = TRUE;
    setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    return true;
}

bool CNetSocket::Adopt(intptr_t socket)
{
    Close();
    m_socket = socket;
    const HANDLE event = WSACreateEvent();
    if (event == WSA_INVALID_EVENT) {
        Close();
        return false;
    }
    m_event = reinterpret_cast<intptr_t>(event);
    // An accepted socket inherits the listener's event selection; it gets its own event.
    if (WSAEventSelect(SocketOf(socket), event, FD_READ | FD_WRITE | FD_CLOSE) != 0) {
        Close();
        return false;
    }
    const BOOL on = TRUE;
    setsockopt(SocketOf(socket), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    return true;
}

bool CNetSocket::ListenOnLoopback(uint16_t port, int backlog)
{
    if (!Open())
        return false;
    const SOCKET socket = SocketOf(m_socket);
    // Nobody else may take over the port while we listen on it.
    const BOOL on = TRUE;
    setsockopt(socket, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on), sizeof on);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    local.sin_port = htons(port);
    if (bind(socket, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 || listen(socket, backlog) != 0 ||
        WSAEventSelect(socket, EventOf(m_event), FD_ACCEPT | FD_CLOSE) != 0) {
        const DWORD error = static_cast<DWORD>(WSAGetLastError());
        Close();
        SetLastError(error);
        return false;
    }
    return true;
}

uint16_t CNetSocket::LocalPort() const
{
    sockaddr_in local{};
    int size = sizeof local;
    if (m_socket == -1 || getsockname(SocketOf(m_socket), reinterpret_cast<sockaddr*>(&local), &size) != 0)
        return 0;
    return ntohs(local.sin_port);
}

uint32_t CNetSocket::Accept(CNetSocket& peer, const CAbortSignal* abort, DeadlineClock::time_point deadline)
{
    if (m_socket == -1)
        return WSAENOTSOCK;
    for (;;) {
        const SOCKET accepted = accept(SocketOf(m_socket), nullptr, nullptr);
        if (accepted != INVALID_SOCKET) {
            SetHandleInformation(reinterpret_cast<HANDLE>(accepted), HANDLE_FLAG_INHERIT, 0);
            if (!peer.Adopt(static_cast<intptr_t>(accepted)))
                return static_cast<uint32_t>(WSAGetLastError());
            return 0;
        }
        if (WSAGetLastError() != WSAEWOULDBLOCK)
            return static_cast<uint32_t>(WSAGetLastError());
        const uint32_t waited = WaitReady(SocketOf(m_socket), EventOf(m_event), FD_ACCEPT, abort, deadline);
        if (waited != 0)
            return waited;
    }
}

bool CNetSocket::IsOpen() const
{
    return m_socket != -1;
}

void CNetSocket::Close()
{
    if (m_socket != -1) {
        closesocket(SocketOf(m_socket));
        m_socket = -1;
    }
    if (m_event != -1) {
        WSACloseEvent(EventOf(m_event));
        m_event = -1;
    }
}

intptr_t CNetSocket::Native() const
{
    return m_socket;
}

uint32_t CNetSocket::Connect(uint32_t address, uint16_t port, const CAbortSignal* abort,
                             DeadlineClock::time_point deadline)
{
    if (m_socket == -1)
        return WSAENOTSOCK;
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_addr.s_addr = htonl(address);
    target.sin_port = htons(port);
    if (connect(SocketOf(m_socket), reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0)
        return 0;
    const int error = WSAGetLastError();
    if (error != WSAEWOULDBLOCK)
        return static_cast<uint32_t>(error);
    int connectError = -1;
    while (connectError == -1) {
        const uint32_t waited =
            WaitReady(SocketOf(m_socket), EventOf(m_event), FD_CONNECT, abort, deadline, &connectError);
        if (waited != 0)
            return waited;
    }
    return static_cast<uint32_t>(connectError);
}

uint32_t CNetSocket::SendSome(const uint8_t* data, uint32_t length, uint32_t& sent, const CAbortSignal* abort,
                              DeadlineClock::time_point deadline)
{
    sent = 0;
    if (m_socket == -1)
        return WSAENOTSOCK;
    const int chunk = length > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(length);
    for (;;) {
        const int n = send(SocketOf(m_socket), reinterpret_cast<const char*>(data), chunk, 0);
        if (n > 0 || (n == 0 && length == 0)) {
            sent = static_cast<uint32_t>(n);
            return 0;
        }
        if (n == SOCKET_ERROR && WSAGetLastError() != WSAEWOULDBLOCK)
            return static_cast<uint32_t>(WSAGetLastError());
        const uint32_t waited = WaitReady(SocketOf(m_socket), EventOf(m_event), FD_WRITE, abort, deadline);
        if (waited != 0)
            return waited;
    }
}

uint32_t CNetSocket::ReceiveSome(uint8_t* buffer, uint32_t length, uint32_t& received, const CAbortSignal* abort,
                                 DeadlineClock::time_point deadline)
{
    received = 0;
    if (m_socket == -1)
        return WSAENOTSOCK;
    const int chunk = length > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(length);
    for (;;) {
        const int n = recv(SocketOf(m_socket), reinterpret_cast<char*>(buffer), chunk, 0);
        if (n >= 0) {
            received = static_cast<uint32_t>(n);
            return 0;
        }
        if (WSAGetLastError() != WSAEWOULDBLOCK)
            return static_cast<uint32_t>(WSAGetLastError());
        const uint32_t waited = WaitReady(SocketOf(m_socket), EventOf(m_event), FD_READ, abort, deadline);
        if (waited != 0)
            return waited;
    }
}

}  // namespace zorflash
