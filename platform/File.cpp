#include "platform/File.h"

#include "platform/FileException.h"
#include "platform/LastError.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace zorflash {

bool CFile::ReadIdentity(Identity& identity) const
{
    struct stat st {};
    if (m_fd < 0 || fstat(m_fd, &st) != 0)
        return false;
    identity.device = static_cast<uint64_t>(st.st_dev);
    identity.inode = static_cast<uint64_t>(st.st_ino);
    identity.size = static_cast<uint64_t>(st.st_size);
    identity.modified = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    identity.changed = static_cast<int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return true;
}

bool CFile::Unchanged() const
{
    Identity now;
    return ReadIdentity(now) && now == m_identity;
}

CFile::CFile() = default;

CFile::~CFile()
{
    Close();
}

bool CFile::Open(const std::string& path)
{
    Close();
    // O_NONBLOCK keeps a FIFO from holding the open until a writer appears; it is
    // cleared again once we know the file is a regular one. O_NOCTTY: a terminal named
    // as the update file must not become our controlling terminal, whose hang-up would
    // kill the run.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        SetLastError(static_cast<uint32_t>(errno));
        return false;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        int err = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        ::close(fd);
        SetLastError(static_cast<uint32_t>(err));
        return false;
    }
    int flags = fcntl(fd, F_GETFL);
    if (flags >= 0)
        fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    if (!m_buffer)
        m_buffer = std::make_unique<uint8_t[]>(kBufferSize);
    m_fd = fd;
    m_path = path;
    ReadIdentity(m_identity);
    m_bufferPos = m_bufferLen = 0;
    m_filePos = 0;
    return true;
}

void CFile::Close()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    m_bufferPos = m_bufferLen = 0;
    m_filePos = 0;
}

void CFile::Throw(int osError) const
{
    throw CFileException(CFileException::CauseFromErrno(osError), osError, m_path);
}

void CFile::Seek(uint64_t offset)
{
    if (m_fd < 0)
        Throw(EBADF);
    // A seek inside what is buffered moves only the buffer position.
    uint64_t bufferStart = m_filePos - m_bufferLen;
    if (offset >= bufferStart && offset <= m_filePos) {
        m_bufferPos = static_cast<uint32_t>(offset - bufferStart);
        return;
    }
    if (::lseek(m_fd, static_cast<off_t>(offset), SEEK_SET) < 0)
        Throw(errno);
    m_filePos = offset;
    m_bufferPos = m_bufferLen = 0;
}

bool CFile::Refill()
{
    ssize_t n;
    do {
        n = ::read(m_fd, m_buffer.get(), kBufferSize);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        Throw(errno);
    m_bufferPos = 0;
    m_bufferLen = static_cast<uint32_t>(n);
    m_filePos += static_cast<uint64_t>(n);
    return n > 0;
}

uint32_t CFile::Read(void* buffer, uint32_t count)
{
    if (m_fd < 0)
        Throw(EBADF);
    auto* out = static_cast<uint8_t*>(buffer);
    uint32_t done = 0;
    while (done < count) {
        if (m_bufferPos == m_bufferLen && !Refill())
            break;
        uint32_t take = std::min(count - done, m_bufferLen - m_bufferPos);
        std::memcpy(out + done, m_buffer.get() + m_bufferPos, take);
        m_bufferPos += take;
        done += take;
    }
    return done;
}

uint64_t CFile::GetLength() const
{
    struct stat st {};
    if (m_fd < 0 || fstat(m_fd, &st) != 0)
        return 0;
    return static_cast<uint64_t>(st.st_size);
}

}  // namespace zorflash
