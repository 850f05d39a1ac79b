#include "cli/FlashCommand.h"

#include "cli/ExitCodes.h"
#include "cli/PrintableText.h"
#include "cli/TerminalHost.h"
#include "platform/Console.h"
#include "platform/ConsoleInterrupt.h"
#include "platform/StatusFile.h"
#include "update/UpdateFileReader.h"
#include "update/UpdateProtocol.h"
#include "update/UpdateWorker.h"

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace zorflash {

namespace {
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
    hostOptions.language = options.language;
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
    const bool completed = !interrupted && host.Result().Completed();
    if (interrupted) {
        // The status text stays as the engine wrote it (a communication error); this line
        // says what really ended the run.
        std::fprintf(stderr, "zorflash-cli: interrupted by the operator (%s) during \"%s\"; %s\n",
                     CConsoleInterrupt::Describe(interruption), PrintableText(host.StepAtInterruption()).c_str(),
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
    const int code = interrupted ? ExitCodeForInterruption(interruption) : ExitCodeFor(host.Result().outcome);

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
