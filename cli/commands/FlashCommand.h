#pragma once

#include "cli/run/FlashOptions.h"

namespace zorflash {

class COutputQueue;

// `zorflash-cli flash` with one target: the whole file checked first, then one update on
// the engine's worker thread, rendered for a terminal, a pipe or a script. Everything it
// prints goes through `output`.
int RunFlash(const FlashOptions& options, COutputQueue& output);

}  // namespace zorflash
