#pragma once

#include "cli/run/FlashOptions.h"

namespace zorflash {

class COutputQueue;

// `zorflash-cli flash` with several targets: one job, host and link per target on a
// thread of its own, a progress block on a terminal (lines prefixed with the target
// otherwise), a summary table and one exit code.
// Everything it prints goes through `output`.
int RunFleet(const FlashOptions& options, COutputQueue& output);

}  // namespace zorflash
