#include "link/ByteRing.h"

#include <algorithm>
#include <cstring>

namespace zorflash {

namespace {

int32_t CapacityFor(int32_t requested)
{
    if (requested >= CByteRing::kMaxCapacity)
        return CByteRing::kMaxCapacity;
    int32_t capacity = CByteRing::kMinCapacity;
    while (capacity < requested)
        capacity <<= 1;
    return capacity;
}

}  // namespace

CByteRing::CByteRing(int32_t requestedSize)
{
    const int32_t capacity = CapacityFor(requestedSize);
    m_bytes = std::make_unique<uint8_t[]>(static_cast<size_t>(capacity));
    m_mask = capacity - 1;
}

CByteRing::~CByteRing() = default;

bool CByteRing::Put(uint8_t byte)
{
    if (Count() == static_cast<uint32_t>(m_mask))
        return false;
    m_bytes[static_cast<size_t>(m_head)] = byte;
    m_head = (m_head + 1) & m_mask;
    return true;
}

bool CByteRing::Get(uint8_t& byte)
{
    if (m_head == m_tail)
        return false;
    byte = m_bytes[static_cast<size_t>(m_tail)];
    m_tail = (m_tail + 1) & m_mask;
    return true;
}

uint32_t CByteRing::PutBlock(const uint8_t* data, uint32_t count)
{
    uint32_t moved = 0;
    count = std::min(count, FreeRoom());
    while (moved < count) {
        // At most up to the end of the storage per copy; the rest wraps to index 0.
        const uint32_t run = std::min(count - moved, Capacity() - static_cast<uint32_t>(m_head));
        std::memcpy(&m_bytes[static_cast<size_t>(m_head)], data + moved, run);
        m_head = static_cast<int32_t>((static_cast<uint32_t>(m_head) + run) & static_cast<uint32_t>(m_mask));
        moved += run;
    }
    return moved;
}

uint32_t CByteRing::GetBlock(uint8_t* data, uint32_t count)
{
    uint32_t moved = 0;
    count = std::min(count, Count());
    while (moved < count) {
        const uint32_t run = std::min(count - moved, Capacity() - static_cast<uint32_t>(m_tail));
        std::memcpy(data + moved, &m_bytes[static_cast<size_t>(m_tail)], run);
        m_tail = static_cast<int32_t>((static_cast<uint32_t>(m_tail) + run) & static_cast<uint32_t>(m_mask));
        moved += run;
    }
    return moved;
}

}  // namespace zorflash
