#include "cli/FleetCommand.h"

#include "cli/ExitCodes.h"
#include "cli/FleetConsole.h"
#include "cli/FleetHost.h"
#include "cli/FleetRunner.h"
#include "cli/FlashCommand.h"
#include "cli/PrintableText.h"
#include "update/ProgressLine.h"
#include "cli/StatusFile.h"
#include "cli/SummaryTable.h"
#include "update/UpdateFileReader.h"
#include "update/UpdateWorker.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <memory>
#include <thread>

namespace zorflash {

namespace {

// SIGINT, SIGTERM and SIGHUP arrive on a thread of their own, never inside a job: every
// target's link is closed through its abort signal, and targets not yet started never start.
class CFleetSignals {
public:
    explicit CFleetSignals(std::function<void()> onStop) : m_onStop(std::move(onStop))
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
                if (sig == SIGUSR1 && m_ending.load())
                    return;
                int none = 0;
                // The first signal names the end; the links are closed once.
                if (sig != SIGUSR1 && m_signal.compare_exchange_strong(none, sig))
                    m_onStop();
            }
        });
    }
    ~CFleetSignals()
    {
        m_ending.store(true);
        pthread_kill(m_thread.native_handle(), SIGUSR1);
        m_thread.join();
        // Left blocked while the status files are written: a second Ctrl+C must not leave
        // them half done.
    }
    CFleetSignals(const CFleetSignals&) = delete;
    CFleetSignals& operator=(const CFleetSignals&) = delete;
    int Signal() const { return m_signal.load(); }
    bool Stopped() const { return Signal() != 0; }

private:
    std::function<void()> m_onStop;
    sigset_t m_set{};
    std::atomic<int> m_signal{0};
    std::atomic<bool> m_ending{false};
    std::thread m_thread;
};

int ExitCodeOf(int signal)
{
    return signal == SIGHUP ? kExitHangUp : signal == SIGTERM ? kExitTerminated : kExitInterrupted;
}

std::vector<std::string> VolumePaths(const std::string& filePath)
{
    std::vector<std::string> paths;
    for (int volume = 1; volume <= 2; ++volume) {
        std::string name;
        MakeVolumeFileName(volume, filePath, name);
        paths.push_back(name);
    }
    paths.push_back(filePath);
    return paths;
}

std::string LastLine(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    const std::size_t cut = text.rfind("\r\n");
    return cut == std::string::npos ? text : text.substr(cut + 2);
}

CSummaryTable::Row Outcome(const CFleetHost& host, CFleetRunner::State state)
{
    CSummaryTable::Row row;
    row.target = host.Target();
    if (state == CFleetRunner::State::NotStarted) {
        row.verdict = CSummaryTable::Verdict::Interrupted;
        row.outcome = "not started";
        return row;
    }
    const UpdateResult& result = host.Result();
    row.records = static_cast<long long>(result.records);
    row.bytes = result.bytes;
    row.seconds = host.Seconds();
    switch (result.outcome) {
    case UpdateOutcome::Completed:
        row.verdict = CSummaryTable::Verdict::Completed;
        row.outcome = "completed";
        break;
    case UpdateOutcome::Cancelled:
        row.verdict = CSummaryTable::Verdict::Cancelled;
        row.outcome = "cancelled at the disk prompt";
        break;
    case UpdateOutcome::Interrupted:
        row.verdict = CSummaryTable::Verdict::Interrupted;
        row.outcome = std::string("interrupted at ") + StepName(result.step);
        break;
    default:
        // The status text's own words, as the operator knows them from the desktop.
        row.verdict = CSummaryTable::Verdict::Failed;
        row.outcome = LastLine(host.StatusText());
        break;
    }
    return row;
}

std::string ResultLine(const CSummaryTable::Row& row)
{
    char time[32];
    std::snprintf(time, sizeof time, "%.1f s", row.seconds);
    return row.target + "  " + row.outcome + "  " + CProgressLine::FormatBytes(static_cast<double>(row.bytes))
           + " in " + time;
}

} // namespace

std::string StatusFileFor(const std::string& pattern, const FleetTarget& target)
{
    std::string name = target.Name();
    std::replace(name.begin(), name.end(), ':', '-');
    std::string path = pattern;
    for (std::size_t at = path.find("{target}"); at != std::string::npos; at = path.find("{target}", at + name.size()))
        path.replace(at, 8, name);
    return path;
}

int RunFleet(const FleetOptions& options)
{
    CFleetConsole::Options consoleOptions;
    consoleOptions.interactive = isatty(STDOUT_FILENO) != 0;
    consoleOptions.quiet = options.quiet;
    consoleOptions.terminalFd = STDOUT_FILENO;
    consoleOptions.promptInputFd = STDIN_FILENO;
    CFleetConsole console(consoleOptions, stdout, stderr);

    // Every target's status file is checked before any instrument is contacted, as for one.
    std::vector<CStatusFile> statusFiles;
    if (!options.statusFilePattern.empty()) {
        for (const FleetTarget& target : options.targets) {
            statusFiles.emplace_back(StatusFileFor(options.statusFilePattern, target));
            std::string error;
            if (!statusFiles.back().Check(VolumePaths(options.settings.filePath), error)) {
                std::fprintf(stderr, "zorflash-cli: cannot use %s as the status file: %s\n",
                             PrintableText(statusFiles.back().Path()).c_str(), PrintableText(error).c_str());
                return kExitUsage;
            }
        }
    }

    const uint64_t total = RecordStreamTotal(options.settings.filePath);
    std::vector<std::unique_ptr<CFleetHost>> hosts;
    for (const FleetTarget& target : options.targets) {
        UpdateSettings settings = options.settings;
        settings.useUsb = target.kind == FleetTarget::Kind::Usb ? 1 : 0;
        settings.ipAddress = target.address;
        settings.port = target.port;
        settings.usbDeviceNumber = target.usbNumber;
        hosts.push_back(std::make_unique<CFleetHost>(target.Name(), settings, options.language, console, total,
                                                     options.timeoutMs, options.timeoutGiven ? options.timeoutMs : 0));
    }

    CFleetRunner runner(hosts.size(), options.parallel);
    std::vector<CSummaryTable::Row> rows(hosts.size());
    int signal = 0;
    {
        CFleetSignals signals([&] {
            runner.StopStarting();
            console.Interrupt();
            for (auto& host : hosts)
                host->Abort().Trigger();
        });
        runner.Start([&hosts](std::size_t index) {
            hosts[index]->Begin();
            UpdateThreadProc(hosts[index].get());
            hosts[index]->Finish();
        });

        // The display: ten times a second, the targets that ended scroll up as one line
        // each and the running ones are redrawn.
        std::vector<bool> reported(hosts.size(), false);
        std::vector<std::string> pending;
        for (bool last = false; !last;) {
            last = runner.Done();
            std::vector<CProgressBlock::Row> running;
            for (std::size_t i = 0; i < hosts.size(); ++i) {
                const CFleetRunner::State state = runner.StateOf(i);
                if ((state == CFleetRunner::State::Finished || state == CFleetRunner::State::NotStarted) && !reported[i]) {
                    reported[i] = true;
                    rows[i] = Outcome(*hosts[i], state);
                    pending.push_back(ResultLine(rows[i]));
                } else if (state == CFleetRunner::State::Running) {
                    running.push_back({hosts[i]->Target(), hosts[i]->CurrentLine(), hosts[i]->BytesSent(),
                                       hosts[i]->TotalBytes(), hosts[i]->Seconds()});
                }
            }
            if (console.Draw(pending, running))
                pending.clear();
            if (!last)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        runner.Join();
        console.EndDisplay();
        if (!pending.empty() && console.Interactive() && !options.quiet) {
            std::string text;
            for (const std::string& line : pending)
                text += line + "\n";
            console.Print(text);
        }
        signal = signals.Signal();
    }

    if (signal != 0) {
        // The status texts stay as the engine wrote them (a communication error); these
        // lines say what really ended each run.
        for (std::size_t i = 0; i < hosts.size(); ++i)
            if (rows[i].verdict == CSummaryTable::Verdict::Interrupted && rows[i].outcome != "not started")
                console.Error(hosts[i]->Target(),
                              "interrupted by the operator; " + std::string(hosts[i]->BytesSent() > 0
                                                                                ? "the instrument holds an incomplete update"
                                                                                : "no firmware record had been sent"));
    }
    int code = signal != 0 ? ExitCodeOf(signal) : CSummaryTable::ExitCode(rows);
    if (!options.quiet)
        console.Print("\n" + CSummaryTable::Format(rows));

    bool statusLost = false;
    for (std::size_t i = 0; i < statusFiles.size(); ++i) {
        std::string error;
        if (!statusFiles[i].Write(hosts[i]->StatusText(), error)) {
            console.Error(hosts[i]->Target(), "cannot write the status file " + statusFiles[i].Path() + ": " + error);
            statusLost = true;
        }
    }
    if (statusLost && code == kExitCompleted) {
        console.Error("every target", "the firmware was sent completely, but a status file is missing");
        code = kExitStatusFileLost;
    }
    return code;
}

}  // namespace zorflash
