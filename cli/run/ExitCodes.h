#pragma once

#include "platform/ConsoleInterrupt.h"
#include "present/OutcomeTable.h"
#include "update/UpdateResult.h"

namespace zorflash {

// The one mapping from how an update ended to the exit code; a signal that ended the run
// has its own code, whatever the run then showed.
CliExitCode ExitCodeFor(UpdateOutcome outcome);
// SIGHUP (or the Windows console closed) 129, SIGINT/Ctrl+C 130, SIGTERM 143.
CliExitCode ExitCodeForInterruption(CConsoleInterrupt::Reason reason);

}  // namespace zorflash
