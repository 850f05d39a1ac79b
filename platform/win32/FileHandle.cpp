#include "platform/FileHandle.h"

#include "platform/LastError.h"
#include "platform/win32/WideText.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdint>

namespace zorflash {

const int CFileHandle::kNotOpen = ERROR_INVALID_HANDLE;

namespace {
HANDLE HandleOf(intptr_t native)
{
    return reinterpret_cast<HANDLE>(native);
}
}  // namespace

CFileHandle::CFileHandle() = default;

CFileHandle::~CFileHandle()
{
    Close();
}

bool CFileHandle::Open(const std::string& path)
{
    Close();
    const std::wstring wide = WideFromUtf8(path);
    if (wide.empty()) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    // Shared for reading only: another program may look at the update file meanwhile,
    // but none may change it under the transfer. Not inheritable (no security record).
    const HANDLE handle = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;  // CreateFileW left the reason
    // Only a disk file is an update file: a console, pipe or device would block or never end.
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        SetLastError(ERROR_INVALID_FUNCTION);
        return false;
    }
    m_native = reinterpret_cast<intptr_t>(handle);
    SetLastError(ERROR_SUCCESS);
    return true;
}

void CFileHandle::Close()
{
    if (m_native != -1) {
        CloseHandle(HandleOf(m_native));
        m_native = -1;
    }
}

int CFileHandle::Read(void* buffer, uint32_t count, uint32_t& got)
{
    got = 0;
    if (m_native == -1)
        return kNotOpen;
    DWORD n = 0;
    if (!ReadFile(HandleOf(m_native), buffer, count, &n, nullptr)) {
        const DWORD error = GetLastError();
        if (error != ERROR_HANDLE_EOF)
            return static_cast<int>(error);
        n = 0;
    }
    got = n;
    return 0;
}

int CFileHandle::Seek(uint64_t offset)
{
    if (m_native == -1)
        return kNotOpen;
    if (offset > static_cast<uint64_t>(INT64_MAX))
        return ERROR_NEGATIVE_SEEK;
    LARGE_INTEGER to{};
    to.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(HandleOf(m_native), to, nullptr, FILE_BEGIN))
        return static_cast<int>(GetLastError());
    return 0;
}

bool CFileHandle::ReadIdentity(Identity& identity) const
{
    if (m_native == -1)
        return false;
    const HANDLE handle = HandleOf(m_native);
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

uint64_t CFileHandle::Length() const
{
    LARGE_INTEGER size{};
    if (m_native == -1 || !GetFileSizeEx(HandleOf(m_native), &size))
        return 0;
    return static_cast<uint64_t>(size.QuadPart);
}

}  // namespace zorflash
