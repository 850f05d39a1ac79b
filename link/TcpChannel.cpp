#include "link/TcpChannel.h"

#include "link/IoBuffer.h"
#include "platform/AbortSignal.h"
#include "platform/LastError.h"

#include <chrono>
#include <new>

namespace zorflash {

namespace {
// Every failure of a transfer also lands in the last-error value, not only its time-outs.
uint32_t Fail(uint32_t code)
{
    SetLastError(code);
    return code;
}

}  // namespace

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
    if (!m_socket.Open())
        return false;
    if (m_ring) {
        m_ring->Clear();
        return true;
    }
    try {
        m_ring = std::make_unique<CByteRing>(kRingSize);
    } catch (const std::bad_alloc&) {
        SetLastError(kErrorNoMemory);
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
    if (m_abort && m_abort->IsTriggered()) {
        SetLastError(kErrorCancelled);
        return false;
    }
    const uint32_t error =
        m_socket.Connect(address, static_cast<uint16_t>(port), m_abort, DeadlineAfter(m_connectTimeoutMs));
    SetLastError(error == kErrorTimeout ? kErrorConnectTimedOut : error);
    return error == 0;
}

void CTcpChannel::CloseSocket()
{
    m_socket.Close();
}

uint32_t CTcpChannel::Send(const uint8_t* data, uint32_t& length, uint32_t timeout)
{
    // A send of no bytes sends nothing (a borrowed descriptor of length 0 would describe
    // the data's text length instead).
    if (length == 0)
        return kErrorSuccess;
    if (m_abort && m_abort->IsTriggered()) {
        length = 0;
        return Fail(kErrorCancelled);
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
        uint32_t taken = 0;
        const uint32_t error = m_socket.SendSome(bytes.Data() + sent, bytes.Length() - sent, taken, m_abort, deadline);
        if (error != 0)
            return error;
        sent += taken;
    }
    return kErrorSuccess;
}

uint32_t CTcpChannel::Receive(uint8_t* buffer, uint32_t& length, uint32_t timeout)
{
    if (!m_ring) {
        length = 0;
        return Fail(kErrorBadHandle);
    }
    if (m_abort && m_abort->IsTriggered()) {
        length = 0;
        return Fail(kErrorCancelled);
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
        return kErrorNoMemory;
    ++m_socketReads;
    uint32_t received = 0;
    const uint32_t error = m_socket.ReceiveSome(block.Data(), block.Length(), received, m_abort, DeadlineAfter(timeout));
    if (error != 0)
        return error;
    m_ring->PutBlock(block.Data(), received);
    return kErrorSuccess;
}

}  // namespace zorflash
