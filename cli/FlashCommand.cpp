#include "cli/FlashCommand.h"

#include "cli/ExitCodes.h"
#include "cli/TerminalHost.h"
#include "update/UpdateFileReader.h"
#include "update/UpdateProtocol.h"
#include "update/UpdateWorker.h"

#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>

namespace {
// Ctrl+C and SIGTERM arrive here, on a thread of their own, never inside the engine:
// the run is interrupted through its abort signal, which ends the blocked transfer, and
// the job then closes the link as on any communication failure.
class CSignalWatcher {
public:
    explicit CSignalWatcher(CAbortSignal& abort) : m_abort(abort)
    {
        sigemptyset(&m_set);
        sigaddset(&m_set, SIGINT);
        sigaddset(&m_set, SIGTERM);
        sigaddset(&m_set, SIGUSR1);  // our own wake-up at the end
        pthread_sigmask(SIG_BLOCK, &m_set, nullptr);
        m_thread = std::thread([this] {
            int sig = 0;
            while (sigwait(&m_set, &sig) == 0) {
                if (sig == SIGUSR1 && m_stopping.load())
                    return;
                if (sig == SIGINT || sig == SIGTERM) {
                    m_interrupted.store(true);
                    m_abort.Trigger();
                }
            }
        });
    }
    ~CSignalWatcher()
    {
        m_stopping.store(true);
        pthread_kill(m_thread.native_handle(), SIGUSR1);
        m_thread.join();
        pthread_sigmask(SIG_UNBLOCK, &m_set, nullptr);
    }
    bool Interrupted() const { return m_interrupted.load(); }

private:
    CAbortSignal& m_abort;
    sigset_t m_set{};
    std::atomic<bool> m_interrupted{false};
    std::atomic<bool> m_stopping{false};
    std::thread m_thread;
};
}  // namespace

int RunFlash(const FlashOptions& options)
{
    CTerminalHost::Options hostOptions;
    hostOptions.quiet = options.quiet;
    hostOptions.interactive = isatty(STDOUT_FILENO) != 0;
    hostOptions.totalBytes = RecordStreamTotal(options.settings.filePath);
    hostOptions.timeoutMs = options.timeoutMs;
    hostOptions.promptInputFd = STDIN_FILENO;
    hostOptions.language = options.language;
    CTerminalHost host(options.settings, hostOptions, stdout, stderr);

    bool interrupted = false;
    {
        CSignalWatcher watcher(host.Abort());
        std::thread worker = StartUpdateWorker(&host);
        worker.join();
        interrupted = watcher.Interrupted();
    }
    host.Finish();

    const std::string& text = host.StatusText();
    if (!options.statusFile.empty()) {
        std::ofstream out(options.statusFile, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        if (!out) {
            std::fprintf(stderr, "zorflash-cli: cannot write the status file %s\n", options.statusFile.c_str());
            return kExitFailed;
        }
    }

    // A signal wins over whatever the run ended with: the operator asked to stop.
    const int code = ExitCodeFor(interrupted ? UpdateOutcome::Interrupted : host.Result().outcome);

    if (options.quiet && code != kExitCompleted) {
        // Quiet runs still say why they failed.
        std::string lastLine = text;
        while (!lastLine.empty() && (lastLine.back() == '\n' || lastLine.back() == '\r'))
            lastLine.pop_back();
        const size_t cut = lastLine.rfind("\r\n");
        if (cut != std::string::npos)
            lastLine = lastLine.substr(cut + 2);
        if (!lastLine.empty())
            std::fprintf(stderr, "zorflash-cli: %s\n", lastLine.c_str());
    }
    return code;
}
