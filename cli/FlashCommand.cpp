#include "cli/FlashCommand.h"

#include "cli/ExitCodes.h"
#include "cli/PrintableText.h"
#include "cli/StatusFile.h"
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
#include <string>
#include <thread>
#include <vector>

namespace zorflash {

namespace {
// Ctrl+C, SIGTERM and SIGHUP arrive here, on a thread of their own, never inside the
// engine: the run is interrupted through its abort signal, which ends the blocked transfer,
// and the job then closes the link as on any communication failure.
class CSignalWatcher {
public:
    explicit CSignalWatcher(CAbortSignal& abort) : m_abort(abort)
    {
        sigemptyset(&m_set);
        sigaddset(&m_set, SIGINT);
        sigaddset(&m_set, SIGTERM);
        sigaddset(&m_set, SIGHUP);
        sigaddset(&m_set, SIGUSR1);  // our own wake-up at the end
        pthread_sigmask(SIG_BLOCK, &m_set, nullptr);
        m_thread = std::thread([this] {
            int sig = 0;
            while (sigwait(&m_set, &sig) == 0) {
                if (sig == SIGUSR1 && m_stopping.load())
                    return;
                if (sig == SIGINT || sig == SIGTERM || sig == SIGHUP) {
                    int none = 0;
                    m_signal.compare_exchange_strong(none, sig);  // the first one names the end
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
        // Left blocked while the status file is written: a second Ctrl+C must not leave it
        // half done. One that comes now is dropped when the process ends.
    }
    // The signal that ended the run, 0 when none came.
    int Signal() const { return m_signal.load(); }

private:
    CAbortSignal& m_abort;
    sigset_t m_set{};
    std::atomic<int> m_signal{0};
    std::atomic<bool> m_stopping{false};
    std::thread m_thread;
};

const char* NameOf(int signal)
{
    switch (signal) {
    case SIGHUP:
        return "hang-up (SIGHUP)";
    case SIGTERM:
        return "SIGTERM";
    default:
        return "Ctrl+C (SIGINT)";
    }
}

std::vector<std::string> VolumePaths(const std::string& filePath)
{
    std::vector<std::string> paths;
    for (int volume = 1; volume <= 2; ++volume) {
        std::string name;
        MakeVolumeFileName(volume, filePath, name);
        paths.push_back(name);
    }
    // The file as chosen, too, in case the volume rule gives another name for it.
    paths.push_back(filePath);
    return paths;
}
}  // namespace

int RunFlash(const FlashOptions& options)
{
    // Refused before the instrument is contacted: afterwards it would be too late to keep
    // an update file from being written over, or a FIFO from blocking the end of the run.
    CStatusFile statusFile(options.statusFile);
    if (!options.statusFile.empty()) {
        std::string error;
        if (!statusFile.Check(VolumePaths(options.settings.filePath), error)) {
            std::fprintf(stderr, "zorflash-cli: cannot use %s as the status file: %s\n",
                         PrintableText(options.statusFile).c_str(), PrintableText(error).c_str());
            return kExitUsage;
        }
    }

    CTerminalHost::Options hostOptions;
    hostOptions.quiet = options.quiet;
    hostOptions.interactive = isatty(STDOUT_FILENO) != 0;
    hostOptions.totalBytes = RecordStreamTotal(options.settings.filePath);
    hostOptions.timeoutMs = options.timeoutMs;
    hostOptions.waitLimitMs = options.timeoutGiven ? options.timeoutMs : 0;
    hostOptions.promptInputFd = STDIN_FILENO;
    hostOptions.language = options.language;
    CTerminalHost host(options.settings, hostOptions, stdout, stderr);

    int signal = 0;
    {
        CSignalWatcher watcher(host.Abort());
        std::thread worker = StartUpdateWorker(&host);
        worker.join();
        signal = watcher.Signal();
    }
    host.Finish();

    const std::string& text = host.StatusText();
    const bool completed = signal == 0 && host.Result().Completed();
    if (signal != 0) {
        // The status text stays as the engine wrote it (a communication error); this line
        // says what really ended the run.
        std::fprintf(stderr, "zorflash-cli: interrupted by the operator (%s) during \"%s\"; %s\n", NameOf(signal),
                     PrintableText(host.StepAtInterruption()).c_str(),
                     host.BytesSent() > 0 ? "the instrument holds an incomplete update"
                                          : "no firmware record had been sent");
    }
    if (!options.statusFile.empty()) {
        std::string error;
        if (!statusFile.Write(text, error)) {
            std::fprintf(stderr, "zorflash-cli: cannot write the status file %s: %s\n",
                         PrintableText(options.statusFile).c_str(), error.c_str());
            if (completed) {
                std::fprintf(stderr, "zorflash-cli: the firmware was sent completely, but the status file is "
                                     "missing\n");
                return kExitStatusFileLost;
            }
        }
    }

    // A signal wins over whatever the run ended with: the operator asked to stop.
    const int code = signal != 0 ? ExitCodeForSignal(signal) : ExitCodeFor(host.Result().outcome);

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

}  // namespace zorflash
