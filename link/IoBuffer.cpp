#include "link/IoBuffer.h"

#include <cstring>
#include <new>

namespace zorflash {

CIoBuffer::CIoBuffer(uint8_t* data, uint32_t length)
{
    if (data) {
        m_data = data;
        m_length = length != 0 ? length
                               : static_cast<uint32_t>(std::strlen(reinterpret_cast<const char*>(data)));
        return;
    }
    if (length == 0)
        return;
    m_storage.reset(new (std::nothrow) uint8_t[length]);
    if (m_storage) {
        m_data = m_storage.get();
        m_length = length;
    }
}

// An owned descriptor is emptied; a borrowed one is left as it was.
CIoBuffer::~CIoBuffer()
{
    if (m_storage) {
        m_storage.reset();
        m_data = nullptr;
        m_length = 0;
    }
}

}  // namespace zorflash
