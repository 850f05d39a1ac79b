#include "cli/commands/FlashCommand.h"

#include "cli/check/PreCheck.h"
#include "cli/output/FleetConsole.h"
#include "cli/output/JsonEvents.h"
#include "cli/output/LineConsole.h"
#include "cli/run/FlashRun.h"
#include "cli/run/TargetFiles.h"
#include "platform/Console.h"
#include "platform/OutputQueue.h"

#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>

namespace zorflash {

int RunFlash(const FlashOptions& options, COutputQueue& output)
{
    const auto commandStart = std::chrono::steady_clock::now();
    const bool several = options.targets.size() > 1;
    CRunConsole::Options look;
    look.interactive = !options.json && IsTerminal(stdout);
    look.quiet = options.quiet;
    look.json = options.json;
    look.noPrompt = options.noPrompt;
    const char* noColour = std::getenv("NO_COLOR");
    look.colour = look.interactive && !(noColour && *noColour);
    look.several = several;
    look.language = options.language;
    // One instrument is drawn on its progress line, several as a block and a table.
    std::unique_ptr<CRunConsole> console;
    if (several)
        console = std::make_unique<CFleetConsole>(look, output, stdout, stderr);
    else
        console = std::make_unique<CLineConsole>(look, output, stdout, stderr);

    CTargetFiles files;
    std::string error;
    if (!files.Open(options, output, error)) {
        console->Say(error);
        return kExitUsage;
    }
    std::unique_ptr<CJsonEvents> json = options.json ? std::make_unique<CJsonEvents>(output, stdout) : nullptr;
    // The file is read once for every target: a problem found here ends the run before any
    // instrument is contacted, with the status text the update would have written.
    std::optional<CPreCheck> check;
    if (options.precheck)
        check.emplace(options.settings, options.language, options.noPrompt, json.get(), options.quiet ? nullptr : &output);
    // The engine counts the volumes as it finds them; the pre-check's count is exact.
    CFlashRun run(options, *console, files, json.get(), check ? check->TotalBytes(0) : 0);
    const int code = check && check->Refused() ? run.Refuse(check->Report()) : run.Run();
    if (run.Ends().empty())
        return code;
    console->Report(run.Ends(), code);
    if (json && several)
        json->Summary(run.Ends(), code,
                      std::chrono::duration<double>(std::chrono::steady_clock::now() - commandStart).count());
    return code;
}

}  // namespace zorflash
