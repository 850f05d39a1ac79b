#include "platform/ConsoleInterrupt.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <mutex>

namespace zorflash {

// The console calls its control handlers on a thread of its own; the handler only
// triggers the abort signal. The one process-wide pointer is the console's own design: a
// handler gets no context argument. It is guarded, and cleared before the object goes.
namespace {
std::mutex g_lock;
CConsoleInterrupt* g_current = nullptr;

BOOL WINAPI OnConsoleControl(DWORD type)
{
    std::lock_guard<std::mutex> guard(g_lock);
    if (!g_current)
        return FALSE;
    switch (type) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        g_current->Deliver(CConsoleInterrupt::Reason::Interrupt);
        return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        g_current->Deliver(CConsoleInterrupt::Reason::HangUp);
        return TRUE;
    default:
        return FALSE;
    }
}
}  // namespace

struct CConsoleInterrupt::Watcher {};

CConsoleInterrupt::CConsoleInterrupt(CAbortSignal& abort, std::function<void()> wake)
    : m_abort(abort)
    , m_wake(std::move(wake))
{
    {
        std::lock_guard<std::mutex> guard(g_lock);
        g_current = this;
    }
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

CConsoleInterrupt::~CConsoleInterrupt()
{
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    SetConsoleCtrlHandler(nullptr, TRUE);  // Ctrl+C ignored from here to the end
    std::lock_guard<std::mutex> guard(g_lock);
    g_current = nullptr;
}

const char* CConsoleInterrupt::Describe(Reason reason)
{
    return reason == Reason::HangUp ? "console closed" : "Ctrl+C";
}

}  // namespace zorflash
