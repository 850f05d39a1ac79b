#pragma once

#include <atomic>

namespace zorflash {

// Lets another thread interrupt an update that is blocked in a transfer (the CLI's
// Ctrl+C): the channels include Fd() in every poll, so a triggered signal ends the wait
// at once instead of after the transfer's time-out. Trigger() is async-signal-safe.
class CAbortSignal {
public:
    CAbortSignal();
    ~CAbortSignal();
    CAbortSignal(const CAbortSignal&) = delete;
    CAbortSignal& operator=(const CAbortSignal&) = delete;

    void Trigger();
    bool IsTriggered() const;
    // Readable once triggered; -1 if the descriptor could not be made (the flag still works).
    int Fd() const { return m_fd; }

private:
    int m_fd = -1;
    std::atomic<bool> m_triggered{false};
};

}  // namespace zorflash
