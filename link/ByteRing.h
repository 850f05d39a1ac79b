#pragma once

#include <cstdint>
#include <memory>

namespace zorflash {

// The TCP channel's store of received bytes not yet handed to the caller. The capacity is
// a power of two from 64 to 65536; the ring holds at most capacity - 1 bytes, because a
// full ring and an empty one must differ (head == tail means empty).
class CByteRing {
public:
    static constexpr int32_t kMinCapacity = 64;
    static constexpr int32_t kMaxCapacity = 65536;

    // A request above 65536 gives 65536, below 64 gives 64, otherwise the smallest power
    // of two not below the request.
    explicit CByteRing(int32_t requestedSize);
    ~CByteRing();
    CByteRing(const CByteRing&) = delete;
    CByteRing& operator=(const CByteRing&) = delete;

    // Stores one byte; false (and nothing stored) when the ring is full.
    bool Put(uint8_t byte);
    // Takes the oldest byte; false when the ring is empty.
    bool Get(uint8_t& byte);

    // Block forms of Put and Get with the same rules: they move as many bytes as fit or
    // as are held, at most count, and answer how many moved.
    uint32_t PutBlock(const uint8_t* data, uint32_t count);
    uint32_t GetBlock(uint8_t* data, uint32_t count);

    uint32_t Count() const { return static_cast<uint32_t>((m_head - m_tail) & m_mask); }
    uint32_t Capacity() const { return static_cast<uint32_t>(m_mask) + 1; }
    // Bytes that Put would still accept: capacity - 1 - Count().
    uint32_t FreeRoom() const { return static_cast<uint32_t>(m_mask) - Count(); }
    // Drops every byte held (a new connection does not inherit the old one's bytes).
    void Clear() { m_head = m_tail = 0; }

private:
    int32_t m_head = 0;  // index where the next byte is put
    int32_t m_tail = 0;  // index of the next byte to take
    std::unique_ptr<uint8_t[]> m_bytes;
    int32_t m_mask = 0;  // capacity - 1
};

}  // namespace zorflash
