#include "cli/ProbeCommand.h"

#include "cli/ExitCodes.h"

#include <cstdio>

int RunProbe(int modelIndex)
{
    (void)modelIndex;
    std::fprintf(stderr, "zorflash-cli: probe is not available in this build yet\n");
    return kExitFailed;
}
