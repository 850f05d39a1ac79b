#pragma once

#include <atomic>
#include <cstdint>

namespace zorflash {

// An object of the operating system that a wait can include: a file descriptor on POSIX,
// a HANDLE on Windows. -1 stands for none.
using NativeWaitHandle = intptr_t;
constexpr NativeWaitHandle kNoWaitHandle = -1;

// Lets another thread interrupt an update that is blocked in a transfer (the CLI's
// Ctrl+C): the platform's waits include WaitHandle(), so a triggered signal ends the
// wait at once instead of after the transfer's time-out. Trigger() is async-signal-safe
// on POSIX (an eventfd write) and safe from a console control handler on Windows (an
// event set).
class CAbortSignal {
public:
    CAbortSignal();
    ~CAbortSignal();
    CAbortSignal(const CAbortSignal&) = delete;
    CAbortSignal& operator=(const CAbortSignal&) = delete;

    void Trigger();
    bool IsTriggered() const;
    // Readable (POSIX) or signalled (Windows) once triggered; kNoWaitHandle if it could
    // not be made (the flag still works).
    NativeWaitHandle WaitHandle() const { return m_handle; }

private:
    NativeWaitHandle m_handle = kNoWaitHandle;
    std::atomic<bool> m_triggered{false};
};

// The wait handle of a signal that may be absent.
inline NativeWaitHandle WaitHandleOf(const CAbortSignal* signal)
{
    return signal ? signal->WaitHandle() : kNoWaitHandle;
}

}  // namespace zorflash
