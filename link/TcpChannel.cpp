#include "link/TcpChannel.h"

#include "link/IoBuffer.h"
#include "platform/PollWait.h"
#include "platform/AbortSignal.h"
#include "platform/LastError.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <new>

namespace zorflash {

namespace {
int AbortFdOf(const CAbortSignal* abort)
{
    return abort ? abort->Fd() : -1;
}


// Every failure of a transfer also lands in the last-error value, not only its time-outs.
uint32_t Fail(uint32_t code)
{
    SetLastError(code);
    return code;
}

}  // namespace

bool CTcpChannel::ResolveHost(const char* host, uint32_t& address)
{
    if (!host) {
        SetLastError(kErrorInvalidArgument);
        return false;
    }
    const in_addr_t dotted = inet_addr(host);
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

CTcpChannel::CTcpChannel(uint32_t connectTimeoutMs)
    : m_connectTimeoutMs(connectTimeoutMs)
{
}

// The destructor closes a socket still open: nothing can use it once the channel is
// gone, and a descriptor must not leak.
CTcpChannel::~CTcpChannel()
{
    CloseSocket();
}

bool CTcpChannel::Create()
{
    CloseSocket();
    m_socket = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    if (m_socket < 0) {
        m_socket = -1;
        SetLastError(static_cast<uint32_t>(errno));
        return false;
    }
    // Each send is one whole protocol message (a byte, a record, a block) followed by a
    // wait for the instrument's answer; Nagle's algorithm would only hold back its tail.
    const int on = 1;
    setsockopt(m_socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    if (m_ring) {
        m_ring->Clear();
        return true;
    }
    try {
        m_ring = std::make_unique<CByteRing>(kRingSize);
    } catch (const std::bad_alloc&) {
        SetLastError(ENOMEM);
        return false;
    }
    return true;
}

bool CTcpChannel::Connect(const char* host, int32_t port)
{
    // A port outside 1..65535 is refused rather than cut to its low 16 bits: an operator
    // who typed 99999 must not reach port 34463.
    if (port < 1 || port > 65535) {
        SetLastError(kErrorInvalidArgument);
        return false;
    }
    uint32_t address = 0;
    if (!ResolveHost(host, address))
        return false;
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_addr.s_addr = htonl(address);
    target.sin_port = htons(static_cast<uint16_t>(port));

    if (m_abort && m_abort->IsTriggered()) {
        SetLastError(ECANCELED);
        return false;
    }
    if (connect(m_socket, reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0) {
        SetLastError(kErrorSuccess);
        return true;
    }
    if (errno != EINPROGRESS) {
        SetLastError(static_cast<uint32_t>(errno));
        return false;
    }
    const uint32_t waited = PollWait(m_socket, POLLOUT, AbortFdOf(m_abort), DeadlineAfter(m_connectTimeoutMs));
    if (waited != 0) {
        SetLastError(waited == kErrorTimeout ? ETIMEDOUT : waited);
        return false;
    }
    int error = 0;
    socklen_t size = sizeof error;
    if (getsockopt(m_socket, SOL_SOCKET, SO_ERROR, &error, &size) != 0)
        error = errno;
    SetLastError(static_cast<uint32_t>(error));
    return error == 0;
}

void CTcpChannel::CloseSocket()
{
    if (m_socket != -1) {
        close(m_socket);
        m_socket = -1;
    }
}

uint32_t CTcpChannel::Send(const uint8_t* data, uint32_t& length, uint32_t timeout)
{
    // A send of no bytes sends nothing (a borrowed descriptor of length 0 would describe
    // the data's text length instead).
    if (length == 0)
        return kErrorSuccess;
    if (m_abort && m_abort->IsTriggered()) {
        length = 0;
        return Fail(ECANCELED);
    }
    // The lock wait and the send wait are each bounded by the time-out, so a send may
    // take up to twice the time-out in all.
    if (!LockSend(timeout)) {
        length = 0;
        return Fail(kErrorTimeout);
    }
    uint32_t sent = 0;
    const uint32_t result = SendLocked(data, length, sent, timeout);
    UnlockSend();
    length = result == 0 ? sent : 0;
    return result == 0 ? kErrorSuccess : Fail(result);
}

bool CTcpChannel::LockSend(uint32_t timeout)
{
    std::unique_lock<std::mutex> gate(m_sendGate);
    if (!m_sendFree.wait_for(gate, std::chrono::milliseconds(timeout), [this] { return !m_sending; }))
        return false;
    m_sending = true;
    return true;
}

void CTcpChannel::UnlockSend()
{
    {
        std::lock_guard<std::mutex> gate(m_sendGate);
        m_sending = false;
    }
    m_sendFree.notify_one();
}

// Sends until every byte is taken or the time-out, counted from here, runs out: a
// successful Send has always sent all its bytes (the update procedure relies on it).
uint32_t CTcpChannel::SendLocked(const uint8_t* data, uint32_t length, uint32_t& sent, uint32_t timeout)
{
    CIoBuffer bytes(const_cast<uint8_t*>(data), length);
    const auto deadline = DeadlineAfter(timeout);
    while (sent < bytes.Length()) {
        // MSG_NOSIGNAL: a peer that has gone gives EPIPE here, never a SIGPIPE that would
        // end the process.
        const ssize_t n = send(m_socket, bytes.Data() + sent, bytes.Length() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sent += static_cast<uint32_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return static_cast<uint32_t>(errno);
        const uint32_t waited = PollWait(m_socket, POLLOUT, AbortFdOf(m_abort), deadline);
        if (waited != 0)
            return waited;
    }
    return kErrorSuccess;
}

uint32_t CTcpChannel::Receive(uint8_t* buffer, uint32_t& length, uint32_t timeout)
{
    if (!m_ring) {
        length = 0;
        return Fail(EBADF);
    }
    if (m_abort && m_abort->IsTriggered()) {
        length = 0;
        return Fail(ECANCELED);
    }
    // The socket is read only when the ring is empty; bytes a read brought beyond the
    // caller's request serve the following receives.
    if (m_ring->Count() == 0) {
        const uint32_t error = ReadSocket(timeout);
        if (error != 0) {
            length = 0;
            return Fail(error);
        }
    }
    length = m_ring->GetBlock(buffer, length);
    return kErrorSuccess;
}

// One socket read into the (empty) ring, waiting at most the time-out for bytes. A read
// takes no more than the ring's free room (4095 bytes), so no received byte is lost. A
// read of 0 bytes (the peer closed the connection) is a success that stores nothing.
uint32_t CTcpChannel::ReadSocket(uint32_t timeout)
{
    CIoBuffer block(nullptr, m_ring->FreeRoom());
    if (!block.Data())
        return ENOMEM;
    const auto deadline = DeadlineAfter(timeout);
    for (;;) {
        ++m_socketReads;
        const ssize_t n = recv(m_socket, block.Data(), block.Length(), MSG_DONTWAIT);
        if (n >= 0) {
            m_ring->PutBlock(block.Data(), static_cast<uint32_t>(n));
            return kErrorSuccess;
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return static_cast<uint32_t>(errno);
        const uint32_t waited = PollWait(m_socket, POLLIN, AbortFdOf(m_abort), deadline);
        if (waited != 0)
            return waited;
    }
}

}  // namespace zorflash
