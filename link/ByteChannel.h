#pragma once

#include <cstdint>

namespace zorflash {

class CAbortSignal;

// A byte channel to one instrument: what the device link needs of a transport once it is
// open. The TCP channel and the USB channel implement it; how each opens differs (an
// address and port, an identification search) and stays with the channel.
// Transfers answer 0, 258 (time-out), kErrorCancelled (abort signal) or the channel's error
// code, and set the in/out length to 0 after any error. Every wait is bounded by its
// time-out and ends at once when the abort signal is triggered.
class CByteChannel {
public:
    virtual ~CByteChannel() = default;

    // A successful send has sent every byte.
    virtual uint32_t Send(const uint8_t* data, uint32_t& length, uint32_t timeout) = 0;
    // At least one byte and at most length; success with 0 bytes means the peer is gone.
    virtual uint32_t Receive(uint8_t* buffer, uint32_t& length, uint32_t timeout) = 0;
    virtual void Close() = 0;
    // Borrowed; null means no interruption.
    virtual void SetAbortSignal(CAbortSignal* signal) = 0;
};

}  // namespace zorflash
