#pragma once

#include "cli/run/FlashOptions.h"

#include <string>

namespace zorflash {

class COutputQueue;

// `zorflash-cli flash` with several targets: one job, host and link per target on a
// thread of its own, a progress block on a terminal (lines prefixed with the target
// otherwise), a summary table and one exit code.
// Everything it prints goes through `output`.
int RunFleet(const FlashOptions& options, COutputQueue& output);

// The status or trace file of one target: the pattern with every "{target}" replaced by a
// form of the target's name that is a valid file name everywhere ("127.0.0.1-8023", "usb-3").
std::string FileForTarget(const std::string& pattern, const FleetTarget& target);

}  // namespace zorflash
