#include "platform/File.h"

#include "platform/FileException.h"

#include <algorithm>
#include <cstring>

namespace zorflash {

CFile::CFile() = default;

CFile::~CFile()
{
    Close();
}

bool CFile::Open(const std::string& path)
{
    Close();
    if (!m_handle.Open(path))
        return false;  // the handle left the reason
    if (!m_buffer)
        m_buffer = std::make_unique<uint8_t[]>(kBufferSize + kReadSlack);
    m_path = path;
    m_identity = {};
    m_handle.ReadIdentity(m_identity);
    m_bufferPos = m_bufferLen = 0;
    m_filePos = 0;
    return true;
}

void CFile::Close()
{
    m_handle.Close();
    m_bufferPos = m_bufferLen = 0;
    m_filePos = 0;
}

bool CFile::Unchanged() const
{
    CFileHandle::Identity now;
    return m_handle.ReadIdentity(now) && now == m_identity;
}

void CFile::Throw(int osError) const
{
    throw CFileException(CFileException::CauseFromErrno(osError), osError, m_path);
}

void CFile::Seek(uint64_t offset)
{
    if (!m_handle.IsOpen())
        Throw(CFileHandle::kNotOpen);
    // A seek inside what is buffered moves only the buffer position.
    const uint64_t bufferStart = m_filePos - m_bufferLen;
    if (offset >= bufferStart && offset <= m_filePos) {
        m_bufferPos = static_cast<uint32_t>(offset - bufferStart);
        return;
    }
    if (const int error = m_handle.Seek(offset); error != 0)
        Throw(error);
    m_filePos = offset;
    m_bufferPos = m_bufferLen = 0;
}

const uint8_t* CFile::PeekFill(uint32_t count, uint32_t& available)
{
    if (!m_handle.IsOpen())
        Throw(CFileHandle::kNotOpen);
    count = std::min(count, kBufferSize);
    if (m_bufferLen - m_bufferPos < count) {
        // What is left moves to the front and the rest of the buffer is filled behind it,
        // so the bytes asked for lie in one piece.
        const uint32_t kept = m_bufferLen - m_bufferPos;
        std::memmove(m_buffer.get(), m_buffer.get() + m_bufferPos, kept);
        m_bufferPos = 0;
        m_bufferLen = kept;
        while (m_bufferLen < count) {
            uint32_t n = 0;
            if (const int error = m_handle.Read(m_buffer.get() + m_bufferLen, kBufferSize - m_bufferLen, n); error != 0)
                Throw(error);
            if (n == 0)
                break;
            m_bufferLen += n;
            m_filePos += n;
        }
    }
    available = std::min(count, m_bufferLen - m_bufferPos);
    return m_buffer.get() + m_bufferPos;
}

uint32_t CFile::Read(void* buffer, uint32_t count)
{
    if (!m_handle.IsOpen())
        Throw(CFileHandle::kNotOpen);
    auto* out = static_cast<uint8_t*>(buffer);
    uint32_t done = 0;
    while (done < count) {
        uint32_t available = 0;
        const uint8_t* at = Peek(std::min(count - done, kBufferSize), available);
        if (available == 0)
            break;
        std::memcpy(out + done, at, available);
        Skip(available);
        done += available;
    }
    return done;
}

uint64_t CFile::GetLength() const
{
    return m_handle.Length();
}

}  // namespace zorflash
