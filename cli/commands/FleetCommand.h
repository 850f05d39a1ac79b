#pragma once

#include "cli/run/TargetList.h"
#include "resources/strings/Language.h"
#include "update/UpdateSettings.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zorflash {

class COutputQueue;

// `zorflash-cli flash` with several targets: the same file and model for each, one job,
// host and link per target on a thread of its own, a progress block on a terminal (lines
// prefixed with the target otherwise), a summary table and one exit code.
struct FleetOptions {
    UpdateSettings settings;          // model, file and mode; the link is set per target
    std::vector<FleetTarget> targets;
    std::size_t parallel = 0;         // 0: every target at once
    bool quiet = false;
    bool json = false;                // NDJSON events on stdout, each naming its target, then a summary
    bool precheck = true;             // the whole file read once, before any instrument is contacted
    bool noPrompt = false;            // a missing or wrong volume ends the run at once
    std::string statusFilePattern;    // "{target}" becomes each target's name
    std::string tracePattern;         // likewise, one trace file per target
    bool traceAll = false;
    uint32_t timeoutMs = 10000;
    bool timeoutGiven = false;        // --timeout then also bounds connect, commands, identification
    Language language = Language::English;
};

// Everything it prints goes through `output`.
int RunFleet(const FleetOptions& options, COutputQueue& output);

// The status or trace file of one target: the pattern with every "{target}" replaced by a
// form of the target's name that is a valid file name everywhere ("127.0.0.1-8023", "usb-3").
std::string FileForTarget(const std::string& pattern, const FleetTarget& target);

}  // namespace zorflash
