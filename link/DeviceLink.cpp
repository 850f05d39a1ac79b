#include "link/DeviceLink.h"

#include "link/AddressText.h"
#include "link/TcpChannel.h"
#include "link/UsbChannel.h"
#include "platform/LastError.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

constexpr uint32_t kCommandTimeoutMs = 5000;  // every link command, whatever the run uses
constexpr size_t kCommandBufferSize = 512;    // command text, CR LF and the NUL
constexpr size_t kCommandCopyLimit = 510;     // bounded copy: at most 509 characters + NUL

// A receive that succeeds with no byte means the peer has closed the connection (a TCP
// instrument that went away); ReceiveExact must not loop on it, nor report success.
constexpr uint32_t kErrorPeerClosed = ECONNRESET;
// A send that succeeds with no byte taken cannot make progress; SendText ends with this.
constexpr uint32_t kErrorNothingSent = EIO;

}  // namespace

CDeviceLink::CDeviceLink(bool useUsb)
    : m_useUsb(useUsb)
    , m_commandTimeoutMs(kCommandTimeoutMs)
{
    if (m_useUsb) {
        m_usbChannel = std::make_unique<CUsbChannel>();
    } else {
        m_tcpChannel = std::make_unique<CTcpChannel>();
        // The outcome is not looked at: a failed start shows when OpenTcp cannot make a
        // socket. (On POSIX there is nothing to start.)
        CTcpChannel::Startup();
    }
}

CDeviceLink::~CDeviceLink()
{
    if (m_tcpChannel)
        CTcpChannel::Cleanup();
}

bool CDeviceLink::OpenTcp(uint32_t address, int32_t port)
{
    m_address = address;
    m_port = port;
    if (m_useUsb) {
        SetLastError(kErrorInvalidArgument);
        return false;
    }
    FormatAddressText(address, m_addressText, sizeof m_addressText);
    // Checked before any socket is made; the record keeps what the operator typed.
    if (port < 1 || port > 65535) {
        SetLastError(kErrorInvalidArgument);
        return false;
    }
    // Create closes a socket left by an earlier open first.
    if (!m_tcpChannel->Create(1))
        return false;
    return m_tcpChannel->Connect(m_addressText, port);
}

bool CDeviceLink::OpenUsb(const char* idQuery, int32_t deviceNumber)
{
    m_deviceNumber = deviceNumber;
    if (!m_useUsb) {
        SetLastError(kErrorInvalidArgument);
        return false;
    }
    m_usbChannel->SetIdQuery(idQuery);
    return m_usbChannel->Open(deviceNumber);  // closes an instrument held from before
}

bool CDeviceLink::Close()
{
    if (m_usbChannel)
        m_usbChannel->Close();
    if (m_tcpChannel)
        m_tcpChannel->CloseSocket();
    return true;
}

void CDeviceLink::SetAbortSignal(CAbortSignal* signal)
{
    m_abort = signal;
    if (m_usbChannel)
        m_usbChannel->SetAbortSignal(signal);
    if (m_tcpChannel)
        m_tcpChannel->SetAbortSignal(signal);
}

void CDeviceLink::LimitWaits(uint32_t milliseconds)
{
    m_commandTimeoutMs = std::min(m_commandTimeoutMs, milliseconds);
    if (m_usbChannel)
        m_usbChannel->LimitIdentification(milliseconds);
    if (m_tcpChannel)
        m_tcpChannel->SetConnectTimeout(std::min(m_tcpChannel->ConnectTimeout(), milliseconds));
}

uint32_t CDeviceLink::Receive(uint8_t* buffer, uint32_t& length, uint32_t timeout)
{
    return m_useUsb ? m_usbChannel->Receive(buffer, length, timeout)
                    : m_tcpChannel->Receive(buffer, length, timeout);
}

uint32_t CDeviceLink::Send(const uint8_t* buffer, uint32_t& length, uint32_t timeout)
{
    return m_useUsb ? m_usbChannel->Send(buffer, length, timeout) : m_tcpChannel->Send(buffer, length, timeout);
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
