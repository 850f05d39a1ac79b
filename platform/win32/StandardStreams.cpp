#include "platform/StandardStreams.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <fcntl.h>
#include <io.h>

namespace zorflash {

void ReserveStandardStreams()
{
    const DWORD kinds[3] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    for (int fd = 0; fd <= 2; ++fd) {
        const HANDLE handle = GetStdHandle(kinds[fd]);
        if (handle != nullptr && handle != INVALID_HANDLE_VALUE)
            continue;
        const HANDLE null = CreateFileW(L"NUL", fd == 0 ? GENERIC_READ : GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        if (null == INVALID_HANDLE_VALUE)
            ExitProcess(125);  // not even NUL: there is no way to say anything safely
        SetStdHandle(kinds[fd], null);
        const int opened = _open_osfhandle(reinterpret_cast<intptr_t>(null), fd == 0 ? _O_RDONLY : _O_WRONLY);
        if (opened >= 0 && opened != fd) {
            _dup2(opened, fd);
            _close(opened);
        }
    }
}

}  // namespace zorflash
