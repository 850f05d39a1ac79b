#pragma once

#include "link/LinkObserver.h"

#include <cstdint>
#include <mutex>

namespace zorflash {

// What the link said when a desktop update failed: the error of the open and of the first
// send or receive that failed, and whether the USB search found anyone. The status text
// says only "Cannot open target."; the operator needs the system's word for why
// ("Connection refused") to know whether to look at the cable, the address or the
// instrument. Written on the worker thread, read on the window thread after the update's
// finished message; the lock makes that hand-over plain whatever the toolkit's events do.
class CLinkFailureWatch : public CLinkObserver {
public:
    struct Seen {
        bool opened = false;        // an open was tried and ended
        uint32_t openError = 0;     // its last-error value, 0 when the link opened
        bool failed = false;        // a send or receive failed
        uint32_t failureCode = 0;   // the first such failure's result code
        bool usbSearched = false;   // a USB open told what its search asked
        int usbAsked = 0;           // instruments the search asked
    };

    // Forget the previous update's link.
    void Reset();
    Seen Get() const;

    void OnLinkBytes(Direction direction, const uint8_t* data, uint32_t length, Clock::time_point at) override;
    void OnLinkFailure(Direction direction, uint32_t code, Clock::duration waited, Clock::time_point at) override;
    void OnLinkOpened(uint32_t error, Clock::duration waited, Clock::time_point at) override;
    void OnUsbSearch(const std::vector<UsbInstrument>& asked) override;

private:
    mutable std::mutex m_mutex;
    Seen m_seen;
};

}  // namespace zorflash
