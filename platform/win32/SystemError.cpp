#include "platform/LastError.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>

namespace zorflash {

// The system's message for a Win32 or Winsock code, in the system's language. Kept per
// thread, so that two updates describing their failures at once never share the text.
const char* SystemErrorText(uint32_t code)
{
    thread_local char text[512];
    const DWORD saved = GetLastError();
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                             sizeof text, nullptr);
    while (n > 0 && (text[n - 1] == '\r' || text[n - 1] == '\n' || text[n - 1] == ' ' || text[n - 1] == '.'))
        --n;
    if (n == 0)
        std::snprintf(text, sizeof text, "system error %lu", static_cast<unsigned long>(code));
    else
        text[n] = '\0';
    SetLastError(saved);  // describing a failure must not change the reason kept for it
    return text;
}

}  // namespace zorflash
