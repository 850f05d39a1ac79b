#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace zorflash {

class CAbortSignal;

// One instrument held open, on the system the build is for: a character device on POSIX
// (usb/posix/), a COM port on Windows (usb/win32/). Only the device table of usb/Vavuziz
// makes these; it decides which candidate to open, this class only how.
class CUsbDevice {
public:
    // The reason VavUZIz_OpenDevice leaves when the list names no candidate at all.
    static const uint32_t kNoCandidate;

    CUsbDevice();
    // Gives the port back the settings it had before the open, then closes it.
    ~CUsbDevice();
    CUsbDevice(const CUsbDevice&) = delete;
    CUsbDevice& operator=(const CUsbDevice&) = delete;

    // Opens the candidate at path, if it can be an instrument at all, and makes it carry
    // every byte value unchanged. False with the reason in the last-error value (never 0).
    bool Open(const std::string& path);
    const std::string& Path() const { return m_path; }
    // Which device it is, in UsbDeviceKey's terms, learnt from the device opened.
    const std::string& Key() const { return m_key; }

    // Each answers 0 or the reason; the count moved is set either way. Both end with
    // kErrorCancelled once the abort signal is triggered, and within timeout ms.
    uint32_t Write(const uint8_t* data, uint32_t length, uint32_t& written, uint32_t timeout);
    // At least one and at most length bytes.
    uint32_t Read(uint8_t* buffer, uint32_t length, uint32_t& read, uint32_t timeout);
    // Borrowed: must outlive the device; null removes it. May come from another thread
    // than a transfer under way.
    void SetAbortSignal(const CAbortSignal* signal);

    // The system's handle and what it needs to give the port back: each back end's own.
    struct Port;

private:
    std::unique_ptr<Port> m_port;
    std::string m_path;
    std::string m_key;
};

}  // namespace zorflash
