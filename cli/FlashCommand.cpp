#include "cli/FlashCommand.h"

#include "cli/ExitCodes.h"
#include "cli/PrintableText.h"
#include "cli/TerminalHost.h"
#include "platform/Console.h"
#include "platform/ConsoleInterrupt.h"
#include "platform/PathText.h"
#include "platform/StatusFile.h"
#include "platform/StringResource.h"
#include "update/UpdateFileReader.h"
#include "update/UpdateProtocol.h"
#include "update/UpdateWorker.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

uint64_t RecordStreamTotal(const std::string& filePath)
{
    uint64_t total = 0;
    for (int volume = 1; volume <= 2; ++volume) {
        std::string name;
        MakeVolumeFileName(volume, filePath, name);
        std::error_code error;
        const std::filesystem::path path = PathFromUtf8(name);
        if (!std::filesystem::is_regular_file(path, error))
            continue;
        const uintmax_t size = std::filesystem::file_size(path, error);
        if (!error && size > static_cast<uintmax_t>(kHeaderSize))
            total += static_cast<uint64_t>(size) - kHeaderSize;
    }
    return total;
}

namespace {
bool EndsWith(const std::string& text, const std::string& tail)
{
    return !tail.empty() && text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

int ExitCodeOf(CConsoleInterrupt::Reason reason)
{
    switch (reason) {
    case CConsoleInterrupt::Reason::HangUp:
        return kExitHangUp;
    case CConsoleInterrupt::Reason::Terminate:
        return kExitTerminated;
    default:
        return kExitInterrupted;
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
    hostOptions.interactive = IsTerminal(stdout);
    hostOptions.totalBytes = RecordStreamTotal(options.settings.filePath);
    hostOptions.timeoutMs = options.timeoutMs;
    hostOptions.waitLimitMs = options.timeoutGiven ? options.timeoutMs : 0;
    CTerminalHost host(options.settings, hostOptions, stdout, stderr);

    CConsoleInterrupt::Reason interruption = CConsoleInterrupt::Reason::None;
    {
        CConsoleInterrupt watcher(host.Abort());
        std::thread worker = StartUpdateWorker(&host);
        worker.join();
        interruption = watcher.Received();
    }
    host.Finish();

    const std::string& text = host.StatusText();
    const bool interrupted = interruption != CConsoleInterrupt::Reason::None;
    const bool completed = !interrupted && EndsWith(text, LoadStringResource(IDS_TRANSFER_COMPLETED));
    if (interrupted) {
        // The status text stays as the engine wrote it (a communication error); this line
        // says what really ended the run.
        std::fprintf(stderr, "zorflash-cli: interrupted by the operator (%s) during \"%s\"; %s\n", CConsoleInterrupt::Describe(interruption),
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

    int code = kExitFailed;
    if (interrupted)
        code = ExitCodeOf(interruption);
    else if (completed)
        code = kExitCompleted;
    else if (EndsWith(text, LoadStringResource(IDS_ABORTED_BY_INSTRUCTION)) && host.OperatorCancelled() &&
             !host.ReportedError())
        code = kExitCancelled;

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
