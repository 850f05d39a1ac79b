#include "platform/File.h"

#include "platform/FileException.h"
#include "platform/LastError.h"
#include "platform/win32/WideText.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstring>

namespace zorflash {

// The file is opened with CreateFileW and then held as a C runtime descriptor, the
// Windows counterpart of the POSIX one, so the class keeps one shape on both systems;
// every read and seek still goes to the file's HANDLE.

namespace {
HANDLE HandleOf(int fd)
{
    return reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}
}  // namespace

bool CFile::ReadIdentity(Identity& identity) const
{
    if (m_fd < 0)
        return false;
    const HANDLE handle = HandleOf(m_fd);
    BY_HANDLE_FILE_INFORMATION info{};
    FILE_BASIC_INFO times{};
    if (!GetFileInformationByHandle(handle, &info) ||
        !GetFileInformationByHandleEx(handle, FileBasicInfo, &times, sizeof times))
        return false;
    identity.device = info.dwVolumeSerialNumber;
    identity.inode = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    identity.size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    identity.modified = times.LastWriteTime.QuadPart;
    identity.changed = times.ChangeTime.QuadPart;
    return true;
}

// The file is shared for reading only, so nobody can write it while it is open here; the
// check still holds for what the system lets through (a change of attributes).
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
    const std::wstring wide = WideFromUtf8(path);
    if (wide.empty()) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    // Shared for reading only: another program may look at the update file meanwhile,
    // but none may change it under the transfer. Not inheritable (no security record).
    HANDLE handle = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;  // CreateFileW left the reason
    // Only a disk file is an update file: a console, pipe or device would block or never end.
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        SetLastError(ERROR_INVALID_FUNCTION);
        return false;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        SetLastError(ERROR_TOO_MANY_OPEN_FILES);
        return false;
    }
    if (!m_buffer)
        m_buffer = std::make_unique<uint8_t[]>(kBufferSize);
    m_fd = fd;
    m_path = path;
    ReadIdentity(m_identity);
    m_bufferPos = m_bufferLen = 0;
    m_filePos = 0;
    SetLastError(ERROR_SUCCESS);
    return true;
}

void CFile::Close()
{
    if (m_fd >= 0) {
        _close(m_fd);  // closes the HANDLE too
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
        Throw(ERROR_INVALID_HANDLE);
    // A seek inside what is buffered moves only the buffer position.
    uint64_t bufferStart = m_filePos - m_bufferLen;
    if (offset >= bufferStart && offset <= m_filePos) {
        m_bufferPos = static_cast<uint32_t>(offset - bufferStart);
        return;
    }
    LARGE_INTEGER to{};
    to.QuadPart = static_cast<LONGLONG>(offset);
    if (offset > static_cast<uint64_t>(INT64_MAX) || !SetFilePointerEx(HandleOf(m_fd), to, nullptr, FILE_BEGIN))
        Throw(offset > static_cast<uint64_t>(INT64_MAX) ? ERROR_NEGATIVE_SEEK : static_cast<int>(GetLastError()));
    m_filePos = offset;
    m_bufferPos = m_bufferLen = 0;
}

bool CFile::Refill()
{
    DWORD n = 0;
    if (!ReadFile(HandleOf(m_fd), m_buffer.get(), kBufferSize, &n, nullptr)) {
        const DWORD error = GetLastError();
        if (error != ERROR_HANDLE_EOF)
            Throw(static_cast<int>(error));
        n = 0;
    }
    m_bufferPos = 0;
    m_bufferLen = n;
    m_filePos += n;
    return n > 0;
}

uint32_t CFile::Read(void* buffer, uint32_t count)
{
    if (m_fd < 0)
        Throw(ERROR_INVALID_HANDLE);
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
    LARGE_INTEGER size{};
    if (m_fd < 0 || !GetFileSizeEx(HandleOf(m_fd), &size))
        return 0;
    return static_cast<uint64_t>(size.QuadPart);
}

}  // namespace zorflash
