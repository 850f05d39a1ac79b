#include "cli/FlashCommand.h"

#include "cli/ExitCodes.h"
#include "cli/TerminalHost.h"
#include "platform/Console.h"
#include "platform/ConsoleInterrupt.h"
#include "platform/PathText.h"
#include "platform/StringResource.h"
#include "update/UpdateFileReader.h"
#include "update/UpdateProtocol.h"
#include "update/UpdateWorker.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

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

}  // namespace

int RunFlash(const FlashOptions& options)
{
    CTerminalHost::Options hostOptions;
    hostOptions.quiet = options.quiet;
    hostOptions.interactive = IsTerminal(stdout);
    hostOptions.totalBytes = RecordStreamTotal(options.settings.filePath);
    hostOptions.timeoutMs = options.timeoutMs;
    CTerminalHost host(options.settings, hostOptions, stdout, stderr);

    bool interrupted = false;
    {
        CConsoleInterrupt watcher(host.Abort());
        std::thread worker = StartUpdateWorker(&host);
        worker.join();
        interrupted = watcher.Received() != CConsoleInterrupt::Reason::None;
    }
    host.Finish();

    const std::string& text = host.StatusText();
    if (!options.statusFile.empty()) {
        std::ofstream out(PathFromUtf8(options.statusFile), std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        if (!out) {
            std::fprintf(stderr, "zorflash-cli: cannot write the status file %s\n", options.statusFile.c_str());
            return kExitFailed;
        }
    }

    int code = kExitFailed;
    if (interrupted)
        code = kExitInterrupted;
    else if (EndsWith(text, LoadStringResource(IDS_TRANSFER_COMPLETED)))
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
