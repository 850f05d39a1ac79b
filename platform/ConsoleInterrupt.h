#pragma once

#include "platform/AbortSignal.h"

#include <atomic>
#include <memory>

// While it exists, the console's interrupt requests end the run through its abort signal
// instead of ending the process: Ctrl+C and SIGTERM on POSIX (taken on a thread of their
// own, never inside the engine), Ctrl+C, Ctrl+Break and closing the console window on
// Windows (the console's control handler). The blocked transfer ends at once and the job
// then closes the link as on any communication failure.
class CConsoleInterrupt {
public:
    enum class Reason { None, Interrupt, Terminate };

    explicit CConsoleInterrupt(CAbortSignal& abort);
    ~CConsoleInterrupt();
    CConsoleInterrupt(const CConsoleInterrupt&) = delete;
    CConsoleInterrupt& operator=(const CConsoleInterrupt&) = delete;

    // The first request that came, if any.
    Reason Received() const { return m_reason.load(); }

    // Called by the platform's handler.
    void Deliver(Reason reason);

private:
    struct Watcher;
    CAbortSignal& m_abort;
    std::atomic<Reason> m_reason{Reason::None};
    std::unique_ptr<Watcher> m_watcher;
};
