#include "platform/Console.h"

#include "platform/win32/WideText.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <shellapi.h>

#include <io.h>

namespace zorflash {

std::thread StartQuietThread(std::function<void()> body)
{
    // The console's control handler runs on a thread of its own: no thread needs shielding.
    return std::thread(std::move(body));
}

void PrepareConsoleProcess()
{
    // The status texts are UTF-8 (Japanese included); the console shows them as such.
    SetConsoleOutputCP(CP_UTF8);
}

bool IsTerminal(std::FILE* stream)
{
    DWORD mode = 0;
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

bool TerminalSize(std::FILE* stream, int& columns, int& rows)
{
    CONSOLE_SCREEN_BUFFER_INFO info{};
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    if (handle == INVALID_HANDLE_VALUE || !GetConsoleScreenBufferInfo(handle, &info))
        return false;
    columns = info.srWindow.Right - info.srWindow.Left + 1;
    rows = info.srWindow.Bottom - info.srWindow.Top + 1;
    return columns > 0 && rows > 0;
}

// A console read ends by itself when Ctrl+C is pressed (the control handler triggers the
// abort signal meanwhile); a pipe or file read ends at its data or its end.
long ReadStandardInput(char* buffer, size_t size, const CAbortSignal& abort)
{
    if (abort.IsTriggered())
        return -1;
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (input == INVALID_HANDLE_VALUE || input == nullptr)
        return 0;
    DWORD n = 0;
    const DWORD wanted = size > 65536 ? 65536 : static_cast<DWORD>(size);
    if (!ReadFile(input, buffer, wanted, &n, nullptr))
        return GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
    if (abort.IsTriggered())
        return -1;
    return static_cast<long>(n);
}

std::vector<std::string> CommandLineArguments(int argc, char** argv)
{
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide)
        return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i)
        arguments.push_back(Utf8FromWide(wide[i]));
    LocalFree(wide);
    return arguments;
}

}  // namespace zorflash
