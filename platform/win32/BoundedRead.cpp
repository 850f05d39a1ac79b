#include "platform/BoundedRead.h"

#include "platform/Deadline.h"
#include "platform/LastError.h"
#include "platform/win32/WideText.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>
#include <thread>

namespace zorflash {

// A disk file is read as it is; a pipe only when PeekNamedPipe says bytes are waiting,
// so a pipe whose writer never writes cannot hold the read past the deadline.
uint32_t ReadFileWithin(const std::string& path, std::size_t limit, uint32_t timeoutMs, std::string& text)
{
    text.clear();
    const auto deadline = DeadlineAfter(timeoutMs);
    const std::wstring wide = WideFromUtf8(path);
    if (wide.empty())
        return ERROR_INVALID_NAME;
    const HANDLE handle = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return GetLastError();
    const bool pipe = GetFileType(handle) == FILE_TYPE_PIPE;
    uint32_t result = 0;
    char buffer[16384];
    while (text.size() <= limit) {
        DWORD wanted = sizeof buffer;
        if (pipe) {
            DWORD waiting = 0;
            if (!PeekNamedPipe(handle, nullptr, 0, nullptr, &waiting, nullptr)) {
                const DWORD error = GetLastError();
                result = error == ERROR_BROKEN_PIPE ? 0 : error;
                break;
            }
            if (waiting == 0) {
                if (MillisecondsLeft(deadline) == 0) {
                    result = kErrorTimeout;
                    break;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                continue;
            }
            wanted = std::min<DWORD>(waiting, sizeof buffer);
        }
        DWORD got = 0;
        if (!ReadFile(handle, buffer, wanted, &got, nullptr)) {
            const DWORD error = GetLastError();
            result = error == ERROR_BROKEN_PIPE ? 0 : error;
            break;
        }
        if (got == 0)
            break;
        text.append(buffer, got);
    }
    CloseHandle(handle);
    if (text.size() > limit + 1)
        text.resize(limit + 1);
    return result;
}

}  // namespace zorflash
