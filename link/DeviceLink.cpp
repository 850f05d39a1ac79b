#include "link/DeviceLink.h"

#include "link/AddressText.h"
#include "link/LinkObserver.h"
#include "link/TcpChannel.h"
#include "link/UsbChannel.h"
#include "platform/LastError.h"

#include <algorithm>
#include <cstring>

namespace zorflash {

namespace {

constexpr uint32_t kCommandTimeoutMs = 5000;  // every link command, whatever the run uses
constexpr size_t kCommandBufferSize = 512;    // command text, CR LF and the NUL
constexpr size_t kCommandCopyLimit = 510;     // bounded copy: at most 509 characters + NUL

// A receive that succeeds with no byte means the peer has closed the connection (a TCP
// instrument that went away); ReceiveExact must not loop on it, nor report success.
constexpr uint32_t kErrorPeerClosed = kErrorConnectionReset;
// A send that succeeds with no byte taken cannot make progress; SendText ends with this.
constexpr uint32_t kErrorNothingSent = kErrorDeviceGone;
// A transfer on a link that was never opened, or whose open failed.
constexpr uint32_t kErrorNotOpen = kErrorBadHandle;

}  // namespace

CDeviceLink::CDeviceLink()
    : m_commandTimeoutMs(kCommandTimeoutMs)
{
}

CDeviceLink::~CDeviceLink() = default;

bool CDeviceLink::OpenTcp(uint32_t address, int32_t port)
{
    m_address = address;
    m_port = port;
    m_channel.reset();
    FormatAddressText(address, m_addressText, sizeof m_addressText);
    // Checked before any socket is made; the record keeps what the operator typed.
    const auto start = CLinkObserver::Clock::now();
    if (port < 1 || port > 65535) {
        SetLastError(kErrorInvalidArgument);
        NoteOpen(false, start);
        return false;
    }
    auto channel = std::make_unique<CTcpChannel>();
    channel->SetAbortSignal(m_abort);
    if (m_waitLimitMs != 0)
        channel->SetConnectTimeout(std::min(channel->ConnectTimeout(), m_waitLimitMs));
    const bool opened = channel->Create() && channel->Connect(m_addressText, port);
    NoteOpen(opened, start);
    if (!opened)
        return false;
    m_channel = std::move(channel);
    return true;
}

void CDeviceLink::NoteOpen(bool opened, CLinkObserver::Clock::time_point start)
{
    if (!m_observer)
        return;
    // The observer must not change the reason the caller reads next.
    const uint32_t error = opened ? kErrorSuccess : GetLastError();
    const auto now = CLinkObserver::Clock::now();
    m_observer->OnLinkOpened(error, now - start, now);
    SetLastError(error);
}

bool CDeviceLink::OpenUsb(const char* idQuery, int32_t deviceNumber)
{
    m_channel.reset();  // an instrument held from before is closed first
    auto channel = std::make_unique<CUsbChannel>();
    channel->SetAbortSignal(m_abort);
    if (m_waitLimitMs != 0)
        channel->LimitIdentification(m_waitLimitMs);
    channel->SetIdQuery(idQuery);
    const auto start = CLinkObserver::Clock::now();
    const bool opened = channel->Open(deviceNumber);
    if (m_observer) {
        const uint32_t error = GetLastError();
        m_observer->OnUsbSearch(channel->SearchReport());
        SetLastError(error);
    }
    NoteOpen(opened, start);
    if (!opened)
        return false;
    m_channel = std::move(channel);
    return true;
}

bool CDeviceLink::Close()
{
    if (m_channel)
        m_channel->Close();
    return true;
}

void CDeviceLink::SetAbortSignal(CAbortSignal* signal)
{
    m_abort = signal;
    if (m_channel)
        m_channel->SetAbortSignal(signal);
}

void CDeviceLink::LimitWaits(uint32_t milliseconds)
{
    m_commandTimeoutMs = std::min(m_commandTimeoutMs, milliseconds);
    m_waitLimitMs = m_waitLimitMs == 0 ? milliseconds : std::min(m_waitLimitMs, milliseconds);
}

uint32_t CDeviceLink::Receive(uint8_t* buffer, uint32_t& length, uint32_t timeout)
{
    if (!m_channel) {
        length = 0;
        SetLastError(kErrorNotOpen);
        return kErrorNotOpen;
    }
    if (!m_observer)
        return m_channel->Receive(buffer, length, timeout);
    const auto start = CLinkObserver::Clock::now();
    const uint32_t result = m_channel->Receive(buffer, length, timeout);
    Note(CLinkObserver::Direction::Received, result, buffer, length, start);
    return result;
}

uint32_t CDeviceLink::Send(const uint8_t* buffer, uint32_t& length, uint32_t timeout)
{
    if (!m_channel) {
        length = 0;
        SetLastError(kErrorNotOpen);
        return kErrorNotOpen;
    }
    if (!m_observer)
        return m_channel->Send(buffer, length, timeout);
    const auto start = CLinkObserver::Clock::now();
    const uint32_t result = m_channel->Send(buffer, length, timeout);
    Note(CLinkObserver::Direction::Sent, result, buffer, length, start);
    return result;
}

void CDeviceLink::Note(CLinkObserver::Direction direction, uint32_t result, const uint8_t* data, uint32_t length,
                       CLinkObserver::Clock::time_point start)
{
    const uint32_t error = GetLastError();
    const auto now = CLinkObserver::Clock::now();
    if (length > 0)
        m_observer->OnLinkBytes(direction, data, length, now);
    if (result != kErrorSuccess)
        m_observer->OnLinkFailure(direction, result, now - start, now);
    else if (direction == CLinkObserver::Direction::Received && length == 0)
        m_observer->OnLinkFailure(direction, kErrorPeerClosed, now - start, now);  // what ReceiveExact makes of it
    SetLastError(error);
}

// Each Receive gets the full time-out again, so a reply that trickles in may take longer
// in all than the time-out; a time-out ends it with 258 and the count of what came before.
uint32_t CDeviceLink::ReceiveExact(uint8_t* buffer, uint32_t& length, uint32_t timeout)
{
    uint32_t remaining = length;
    uint8_t* position = buffer;
    uint32_t result = kErrorSuccess;
    while (remaining != 0) {
        uint32_t got = remaining;
        result = Receive(position, got, timeout);
        if (result != kErrorSuccess && got == 0)
            break;
        if (result == kErrorSuccess && got == 0) {
            result = kErrorPeerClosed;
            SetLastError(result);
            break;
        }
        position += got;
        remaining -= got;
    }
    length = static_cast<uint32_t>(position - buffer);
    return result;
}

uint32_t CDeviceLink::SendText(const char* text, uint32_t maxLength, uint32_t timeout)
{
    if (maxLength == 0 || !text)
        return kErrorSuccess;
    const uint32_t count = static_cast<uint32_t>(strnlen(text, maxLength));
    uint32_t position = 0;
    while (position < count) {
        uint32_t length = count - position;
        const uint32_t result = Send(reinterpret_cast<const uint8_t*>(text) + position, length, timeout);
        if (result != kErrorSuccess)
            return result;
        if (length == 0) {
            SetLastError(kErrorNothingSent);
            return kErrorNothingSent;
        }
        position += length;
    }
    return kErrorSuccess;
}

uint32_t CDeviceLink::SendCommand(const char* text)
{
    char line[kCommandBufferSize] = {};
    if (text)
        std::strncpy(line, text, kCommandCopyLimit - 1);
    std::strcat(line, "\r\n");
    return SendText(line, static_cast<uint32_t>(std::strlen(line)), m_commandTimeoutMs);
}

}  // namespace zorflash
