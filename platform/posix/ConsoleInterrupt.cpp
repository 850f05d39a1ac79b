#include "platform/ConsoleInterrupt.h"

#include <pthread.h>
#include <signal.h>

#include <thread>

namespace zorflash {

// SIGINT, SIGTERM and SIGHUP are blocked in every thread and taken by sigwait on a thread of
// their own, so no handler ever runs inside the engine; SIGUSR1 is our own wake-up at
// the end.
struct CConsoleInterrupt::Watcher {
    sigset_t set{};
    std::atomic<bool> stopping{false};
    std::thread thread;
};

CConsoleInterrupt::CConsoleInterrupt(CAbortSignal& abort, std::function<void()> wake)
    : m_abort(abort)
    , m_wake(std::move(wake))
    , m_watcher(std::make_unique<Watcher>())
{
    Watcher& w = *m_watcher;
    sigemptyset(&w.set);
    sigaddset(&w.set, SIGINT);
    sigaddset(&w.set, SIGTERM);
    sigaddset(&w.set, SIGHUP);
    sigaddset(&w.set, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &w.set, nullptr);
    w.thread = std::thread([this, &w] {
        int sig = 0;
        while (sigwait(&w.set, &sig) == 0) {
            if (sig == SIGUSR1 && w.stopping.load())
                return;
            if (sig == SIGINT)
                Deliver(Reason::Interrupt);
            else if (sig == SIGTERM)
                Deliver(Reason::Terminate);
            else if (sig == SIGHUP)
                Deliver(Reason::HangUp);
        }
    });
}

CConsoleInterrupt::~CConsoleInterrupt()
{
    m_watcher->stopping.store(true);
    pthread_kill(m_watcher->thread.native_handle(), SIGUSR1);
    m_watcher->thread.join();
    // Left blocked: one that comes now is dropped when the process ends.
}

const char* CConsoleInterrupt::Describe(Reason reason)
{
    switch (reason) {
    case Reason::HangUp:
        return "hang-up (SIGHUP)";
    case Reason::Terminate:
        return "SIGTERM";
    default:
        return "Ctrl+C (SIGINT)";
    }
}

}  // namespace zorflash
