#pragma once

#include "link/UsbInstrument.h"

#include <chrono>
#include <cstdint>
#include <vector>

namespace zorflash {

// Watches what crosses a device link: the bytes each way with the moment they crossed,
// the failures with how long they waited, and the open. A front end uses it for a trace a
// field engineer can attach to a report and to say why a run failed. Called on the update
// worker thread from inside the link's own calls: it must not block and must not call the
// link. A link without an observer pays one test of a null pointer per transfer.
class CLinkObserver {
public:
    enum class Direction { Sent, Received };
    using Clock = std::chrono::steady_clock;

    virtual ~CLinkObserver() = default;

    // Bytes that crossed: one call per successful send or receive that moved bytes.
    virtual void OnLinkBytes(Direction direction, const uint8_t* data, uint32_t length, Clock::time_point at) = 0;
    // A send or receive that failed with `code` (the link's result code) after `waited`.
    virtual void OnLinkFailure(Direction direction, uint32_t code, Clock::duration waited, Clock::time_point at) = 0;
    // An open (TCP/IP or USB) ended: error 0 when the link is open, else the last-error value.
    virtual void OnLinkOpened(uint32_t error, Clock::duration waited, Clock::time_point at) = 0;
    // A USB open's own identification search: every instrument it asked and what each
    // answered, in order; told just before OnLinkOpened. A failure is explained from
    // this, never from a second search that could see other answers.
    virtual void OnUsbSearch(const std::vector<UsbInstrument>& asked) { (void)asked; }
};

}  // namespace zorflash
