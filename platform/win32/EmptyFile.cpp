#include "platform/EmptyFile.h"

#include "platform/LastError.h"
#include "platform/win32/WideText.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace zorflash {

bool CreateEmptyFile(const std::string& path)
{
    const std::wstring wide = WideFromUtf8(path);
    if (wide.empty()) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    const HANDLE handle = CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;  // CreateFileW left the reason
    CloseHandle(handle);
    SetLastError(ERROR_SUCCESS);
    return true;
}

}  // namespace zorflash
