#include "sim/StopFlag.h"

#include <atomic>
#include <csignal>

namespace zorflash {

namespace {

volatile std::sig_atomic_t g_stop = 0;

extern "C" void OnStopSignal(int) { g_stop = 1; }

} // namespace

void InstallStopHandlers()
{
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    // A host that vanishes while a reply is written must not kill the simulator.
    std::signal(SIGPIPE, SIG_IGN);
}

void RequestStop() { g_stop = 1; }

bool StopRequested() { return g_stop != 0; }

}  // namespace zorflash
