#pragma once

#include "platform/AbortSignal.h"

#include <atomic>
#include <functional>
#include <memory>

namespace zorflash {

// While it exists, the console's interrupt requests end the run through its abort signal
// instead of ending the process: Ctrl+C, SIGTERM and SIGHUP on POSIX (taken on a thread of
// their own, never inside the engine), Ctrl+C, Ctrl+Break and closing the console window
// on Windows (the console's control handler). The blocked transfer ends at once and the
// job then closes the link as on any communication failure. Once it is gone, further
// requests are held back (POSIX) or ignored (Windows' Ctrl+C) until the process ends, so
// a second Ctrl+C cannot leave the status file half written.
class CConsoleInterrupt {
public:
    // Interrupt: Ctrl+C (SIGINT); Terminate: SIGTERM; HangUp: SIGHUP, or the console
    // window closed.
    enum class Reason { None, Interrupt, Terminate, HangUp };

    // The request in the operator's words, as the system names it.
    static const char* Describe(Reason reason);

    // `wake`, if given, is called right after the abort signal is triggered, on the thread
    // that takes the request (never inside a signal handler): a waiter on a condition
    // variable learns of it at once.
    explicit CConsoleInterrupt(CAbortSignal& abort, std::function<void()> wake = {});
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
    std::function<void()> m_wake;
    std::atomic<Reason> m_reason{Reason::None};
    std::unique_ptr<Watcher> m_watcher;
};

}  // namespace zorflash
