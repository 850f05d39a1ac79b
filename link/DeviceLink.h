#pragma once

#include <cstdint>
#include <memory>

namespace zorflash {

class CAbortSignal;
class CByteChannel;

// The one object through which an update talks to the instrument. It holds one byte
// channel, made by the open that names the transport (TCP/IP or USB); everything after the
// open is the same for both. Transfers answer a result code: 0 success, 258 a time-out,
// otherwise the channel's error code; an in/out length is 0 after any error, and a link
// that was never opened fails every transfer. The opens answer true/false and leave the
// reason in the last-error value.
class CDeviceLink {
public:
    CDeviceLink();
    ~CDeviceLink();
    CDeviceLink(const CDeviceLink&) = delete;
    CDeviceLink& operator=(const CDeviceLink&) = delete;

    bool OpenTcp(uint32_t address, int32_t port);
    // idQuery is borrowed, not copied: it must outlive the link (a model table text).
    bool OpenUsb(const char* idQuery, int32_t deviceNumber);
    bool Close();

    uint32_t Receive(uint8_t* buffer, uint32_t& length, uint32_t timeout);
    uint32_t ReceiveExact(uint8_t* buffer, uint32_t& length, uint32_t timeout);
    uint32_t Send(const uint8_t* buffer, uint32_t& length, uint32_t timeout);
    uint32_t SendText(const char* text, uint32_t maxLength, uint32_t timeout);
    uint32_t SendCommand(const char* text);

    // Every wait of the link also ends, with an error, as soon as this signal is
    // triggered. Borrowed; null (the default) means no interruption.
    void SetAbortSignal(CAbortSignal* signal);
    // Lowers every wait the link has of its own (connect, commands, identification) to at
    // most this many ms: the operator's --timeout bounds the whole run. Never raises one.
    void LimitWaits(uint32_t milliseconds);

    uint32_t Address() const { return m_address; }
    int32_t Port() const { return m_port; }
    const char* AddressText() const { return m_addressText; }

private:
    std::unique_ptr<CByteChannel> m_channel;
    uint32_t m_address = 0;
    int32_t m_port = 0;
    char m_addressText[32] = {};
    CAbortSignal* m_abort = nullptr;  // handed to each channel the link makes
    uint32_t m_commandTimeoutMs;
    uint32_t m_waitLimitMs = 0;  // LimitWaits: applied to each channel the link makes; 0 none
};

}  // namespace zorflash
