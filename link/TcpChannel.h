#pragma once

#include "link/ByteChannel.h"
#include "link/ByteRing.h"
#include "platform/NetSocket.h"

#include <cstdint>
#include <memory>
#include <condition_variable>
#include <mutex>

namespace zorflash {

class CAbortSignal;

// The byte channel to an instrument over TCP/IP, on the platform's socket (CNetSocket),
// which starts the socket library once per process on its first use (Winsock 2.0 on
// Windows). The socket is non-blocking and every wait is bounded, so each wait (send
// lock, send, receive, connect) ends by its time-out and nothing stays pending after one:
// bytes that arrive later are read by the next receive or dropped with the socket.
// Transfers answer 0, 258 (time-out), kErrorCancelled (abort signal) or the platform's
// error code, and set the in/out length to 0 after any error.
class CTcpChannel : public CByteChannel {
public:
    static constexpr int32_t kRingSize = 4096;
    // The longest an unanswered connect may take: an operator learns within half a minute
    // that the instrument does not answer, instead of after the kernel's minutes of retries.
    static constexpr uint32_t kConnectTimeoutMs = 21000;

    // The host-order IPv4 address for host: a dotted address as inet_addr reads it, else
    // the first IPv4 address that name resolution finds. False with last error 10022 when
    // the name does not resolve. "255.255.255.255" is INADDR_NONE for inet_addr and so
    // goes to name resolution, which reads it as that numeric address.
    static bool ResolveHost(const char* host, uint32_t& address) { return CNetSocket::ResolveIPv4(host, address); }

    explicit CTcpChannel(uint32_t connectTimeoutMs = kConnectTimeoutMs);
    ~CTcpChannel() override;
    CTcpChannel(const CTcpChannel&) = delete;
    CTcpChannel& operator=(const CTcpChannel&) = delete;

    // Makes the TCP stream socket. A channel that already holds a socket closes it first,
    // and drops the bytes of the old ring.
    bool Create();
    // host: dotted address or host name; port must be 1..65535 (else last error 10022).
    // Waits at most the connect time-out (last error kErrorConnectTimedOut when it runs out).
    bool Connect(const char* host, int32_t port);
    void CloseSocket();

    uint32_t Send(const uint8_t* data, uint32_t& length, uint32_t timeout) override;
    uint32_t Receive(uint8_t* buffer, uint32_t& length, uint32_t timeout) override;
    void Close() override { CloseSocket(); }
    void SetAbortSignal(CAbortSignal* signal) override { m_abort = signal; }
    void SetConnectTimeout(uint32_t milliseconds) { m_connectTimeoutMs = milliseconds; }
    uint32_t ConnectTimeout() const { return m_connectTimeoutMs; }

    intptr_t Socket() const { return m_socket.Native(); }
    // How many times Receive has read the socket: lets a test see that bytes came from
    // the ring and not from a new socket read.
    uint64_t SocketReads() const { return m_socketReads; }

private:
    uint32_t SendLocked(const uint8_t* data, uint32_t length, uint32_t& sent, uint32_t timeout);
    bool LockSend(uint32_t timeout);
    void UnlockSend();
    uint32_t ReadSocket(uint32_t timeout);

    CNetSocket m_socket;
    // The send lock: a timed mutex made of a flag and a condition, held while a send is
    // under way. (std::timed_mutex would do, but its steady-clock wait is invisible to
    // the thread sanitizer, which then reports every unlock as wrong.)
    std::mutex m_sendGate;
    std::condition_variable m_sendFree;
    bool m_sending = false;
    std::unique_ptr<CByteRing> m_ring;
    CAbortSignal* m_abort = nullptr;
    uint32_t m_connectTimeoutMs;
    uint64_t m_socketReads = 0;
};

}  // namespace zorflash
