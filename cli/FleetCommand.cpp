#include "cli/FleetCommand.h"

#include "cli/ExitCodes.h"
#include "cli/FileCheck.h"
#include "cli/FlashCommand.h"
#include "cli/FleetConsole.h"
#include "cli/FleetHost.h"
#include "cli/FleetRunner.h"
#include "cli/PrintableText.h"
#include "cli/SummaryTable.h"
#include "platform/Console.h"
#include "platform/ConsoleInterrupt.h"
#include "platform/StatusFile.h"
#include "update/ProgressLine.h"
#include "update/UpdateFileReader.h"
#include "update/UpdateWorker.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <memory>
#include <thread>

namespace zorflash {

namespace {

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
    consoleOptions.interactive = IsTerminal(stdout);
    consoleOptions.quiet = options.quiet;
    CFleetConsole console(consoleOptions, stdout, stderr);

    // Every target's status file is checked before any instrument is contacted, as for one.
    std::vector<CStatusFile> statusFiles;
    if (!options.statusFilePattern.empty()) {
        for (const FleetTarget& target : options.targets) {
            statusFiles.emplace_back(StatusFileFor(options.statusFilePattern, target));
            std::string error;
            if (!statusFiles.back().Check(CFileCheck::VolumePaths(options.settings.filePath), error)) {
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
    CConsoleInterrupt::Reason interruption = CConsoleInterrupt::Reason::None;
    {
        // Ctrl+C, SIGTERM or SIGHUP trigger the console's abort signal: a prompt waiting for
        // an answer gives up at once, and the display below closes every link.
        CConsoleInterrupt interrupt(console.Abort());
        bool stopped = false;
        const auto stopAll = [&] {
            stopped = true;
            runner.StopStarting();
            console.Interrupt();
            for (auto& host : hosts)
                host->Abort().Trigger();
        };
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
            if (!stopped && interrupt.Received() != CConsoleInterrupt::Reason::None)
                stopAll();
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
        interruption = interrupt.Received();
    }

    const bool interrupted = interruption != CConsoleInterrupt::Reason::None;
    if (interrupted) {
        // The status texts stay as the engine wrote them (a communication error); these
        // lines say what really ended each run.
        for (std::size_t i = 0; i < hosts.size(); ++i)
            if (rows[i].verdict == CSummaryTable::Verdict::Interrupted && rows[i].outcome != "not started")
                console.Error(hosts[i]->Target(),
                              "interrupted by the operator (" + std::string(CConsoleInterrupt::Describe(interruption)) +
                                  "); " + std::string(hosts[i]->BytesSent() > 0
                                                                                ? "the instrument holds an incomplete update"
                                                                                : "no firmware record had been sent"));
    }
    int code = interrupted ? ExitCodeForInterruption(interruption) : CSummaryTable::ExitCode(rows);
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
