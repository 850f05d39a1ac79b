#pragma once

#include "cli/run/FlashOptions.h"

namespace zorflash {

class COutputQueue;

// `zorflash-cli flash`, for one target or several: the files and the whole update file
// checked first, then one update per target on a lane of its own (at most --parallel at
// once), drawn on a progress line for one instrument and as a block for several, for a
// terminal, a pipe or a script; one exit code. Everything it prints goes through `output`.
int RunFlash(const FlashOptions& options, COutputQueue& output);

}  // namespace zorflash
