#pragma once

#include "platform/AbortSignal.h"
#include "platform/Deadline.h"

#include <cstdint>

namespace zorflash {

// One IPv4 socket of the TCP channel, on the platform's socket library (BSD sockets or
// Winsock 2). It is non-blocking, never inherited by a child process, and closed when the
// object goes. Every call that waits is bounded by its deadline and ends at once when the
// abort signal is triggered. Results are 0 or the platform's error code (an errno value
// or a Winsock code), kErrorTimeout (258) at the deadline and kErrorCancelled when
// aborted; the last-error value is left alone, the caller decides what to keep.
class CNetSocket {
public:
    // Starts the socket library once per process (Winsock asks for version 2.0 and takes
    // only exactly that), and answers whether it is there. Nothing to start on POSIX.
    static bool StartLibrary();

    // The host-order IPv4 address for host: a dotted address as inet_addr reads it, else
    // the first IPv4 address name resolution finds. False (and last error 10022) when
    // neither works. "255.255.255.255" is inet_addr's failure value and so goes to name
    // resolution, which reads it as that numeric address.
    static bool ResolveIPv4(const char* host, uint32_t& address);

    CNetSocket();
    ~CNetSocket();
    CNetSocket(const CNetSocket&) = delete;
    CNetSocket& operator=(const CNetSocket&) = delete;

    // A TCP socket with Nagle's algorithm off. Closes a socket held before. False with the
    // reason in the last-error value.
    bool Open();
    bool IsOpen() const;
    void Close();
    // The socket as the system knows it (for tests that look at it); -1 when closed.
    intptr_t Native() const;

    // A listening stream socket on 127.0.0.1 (port 0: a free one), for the tests' peers
    // and the bench; false with the reason in the last-error value.
    bool ListenOnLoopback(uint16_t port = 0, int backlog = 8);
    // The local port (host order) of a bound socket; 0 if none.
    uint16_t LocalPort() const;
    // Takes the next connection of a listening socket into peer (which is opened anew).
    uint32_t Accept(CNetSocket& peer, const CAbortSignal* abort, DeadlineClock::time_point deadline);

    // Connects to address:port (host order).
    uint32_t Connect(uint32_t address, uint16_t port, const CAbortSignal* abort, DeadlineClock::time_point deadline);
    // Sends at least one byte of data (waiting for room), at most length; sent says how many.
    uint32_t SendSome(const uint8_t* data, uint32_t length, uint32_t& sent, const CAbortSignal* abort,
                      DeadlineClock::time_point deadline);
    // Receives at least one byte (waiting for it), at most length. Success with 0 bytes:
    // the peer has closed the connection.
    uint32_t ReceiveSome(uint8_t* buffer, uint32_t length, uint32_t& received, const CAbortSignal* abort,
                         DeadlineClock::time_point deadline);

private:
    bool Adopt(intptr_t socket);

    intptr_t m_socket = -1;
    [[maybe_unused]] intptr_t m_event = -1;  // Windows: the event the socket's readiness sets
};

}  // namespace zorflash
