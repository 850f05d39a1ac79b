#pragma once

#include <cstdint>
#include <memory>

class CTcpChannel;
class CUsbChannel;
class CAbortSignal;

// The one object through which an update talks to the instrument, over TCP/IP or USB.
// Transfers answer a result code: 0 success, 258 a time-out, otherwise the channel's
// error code; an in/out length is 0 after any error. The opens answer true/false and
// leave the reason in the last-error value.
class CDeviceLink {
public:
    explicit CDeviceLink(bool useUsb);
    virtual ~CDeviceLink();
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

    bool UsesUsb() const { return m_useUsb; }
    uint32_t Address() const { return m_address; }
    int32_t Port() const { return m_port; }
    int32_t DeviceNumber() const { return m_deviceNumber; }
    const char* AddressText() const { return m_addressText; }

private:
    std::unique_ptr<CTcpChannel> m_tcpChannel;
    std::unique_ptr<CUsbChannel> m_usbChannel;
    bool m_useUsb = false;
    uint32_t m_address = 0;
    int32_t m_port = 0;
    int32_t m_deviceNumber = 0;
    char m_addressText[32] = {};
    CAbortSignal* m_abort = nullptr;
    uint32_t m_commandTimeoutMs;
};
