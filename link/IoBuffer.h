#pragma once

#include <cstdint>
#include <memory>

namespace zorflash {

// A descriptor of one byte buffer handed to a socket call: either borrowed from the
// caller or owned (allocated here, freed by the destructor).
class CIoBuffer {
public:
    // data given: borrowed; a length of 0 then means data's length as a NUL-terminated
    // text. No data and length 0: an empty descriptor. No data and a length: that many
    // bytes are allocated and owned; if the allocation fails the descriptor stays empty
    // (Data() null, Length() 0), and the caller reports ENOMEM instead of reading into
    // memory it does not have.
    CIoBuffer(uint8_t* data, uint32_t length);
    ~CIoBuffer();
    CIoBuffer(const CIoBuffer&) = delete;
    CIoBuffer& operator=(const CIoBuffer&) = delete;

    uint32_t Length() const { return m_length; }
    uint8_t* Data() const { return m_data; }
    bool Owned() const { return m_storage != nullptr; }

private:
    uint32_t m_length = 0;
    uint8_t* m_data = nullptr;
    std::unique_ptr<uint8_t[]> m_storage;  // set when owned
};

}  // namespace zorflash
