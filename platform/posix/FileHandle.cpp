#include "platform/FileHandle.h"

#include "platform/LastError.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace zorflash {

const int CFileHandle::kNotOpen = EBADF;

CFileHandle::CFileHandle() = default;

CFileHandle::~CFileHandle()
{
    Close();
}

bool CFileHandle::Open(const std::string& path)
{
    Close();
    // O_NONBLOCK keeps a FIFO from holding the open until a writer appears; it is
    // cleared again once we know the file is a regular one. O_NOCTTY: a terminal named
    // as the update file must not become our controlling terminal, whose hang-up would
    // kill the run.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        SetLastError(static_cast<uint32_t>(errno));
        return false;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int err = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        ::close(fd);
        SetLastError(static_cast<uint32_t>(err));
        return false;
    }
    const int flags = fcntl(fd, F_GETFL);
    if (flags >= 0)
        fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    m_native = fd;
    return true;
}

void CFileHandle::Close()
{
    if (m_native != -1) {
        ::close(static_cast<int>(m_native));
        m_native = -1;
    }
}

int CFileHandle::Read(void* buffer, uint32_t count, uint32_t& got)
{
    got = 0;
    if (m_native == -1)
        return kNotOpen;
    ssize_t n;
    do {
        n = ::read(static_cast<int>(m_native), buffer, count);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        return errno;
    got = static_cast<uint32_t>(n);
    return 0;
}

int CFileHandle::Seek(uint64_t offset)
{
    if (m_native == -1)
        return kNotOpen;
    if (::lseek(static_cast<int>(m_native), static_cast<off_t>(offset), SEEK_SET) < 0)
        return errno;
    return 0;
}

bool CFileHandle::ReadIdentity(Identity& identity) const
{
    struct stat st {};
    if (m_native == -1 || fstat(static_cast<int>(m_native), &st) != 0)
        return false;
    identity.device = static_cast<uint64_t>(st.st_dev);
    identity.inode = static_cast<uint64_t>(st.st_ino);
    identity.size = static_cast<uint64_t>(st.st_size);
    identity.modified = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    identity.changed = static_cast<int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return true;
}

uint64_t CFileHandle::Length() const
{
    struct stat st {};
    if (m_native == -1 || fstat(static_cast<int>(m_native), &st) != 0)
        return 0;
    return static_cast<uint64_t>(st.st_size);
}

}  // namespace zorflash
