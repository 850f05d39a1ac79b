#pragma once

#include "platform/ConsoleInterrupt.h"
#include "update/UpdateResult.h"

namespace zorflash {

// What zorflash-cli tells a script.
enum CliExitCode : int {
    kExitCompleted = 0,      // the transfer completed (inspect: the file would transfer completely)
    kExitFailed = 1,         // file, target or communication failure, or a disk prompt nobody answered; stderr says why
    kExitUsage = 2,          // command-line error, or a --status-file that cannot be used
    kExitCancelled = 3,      // the operator cancelled the disk prompt
    kExitStatusFileLost = 4, // the firmware was sent completely, but the status file could not be written
    kExitHangUp = 129,       // SIGHUP: the link was closed first, the status file written
    kExitInterrupted = 130,  // Ctrl+C (SIGINT): likewise
    kExitTerminated = 143    // SIGTERM: likewise
};

// The one mapping from how an update ended to the exit code; a signal that ended the run
// has its own code, whatever the run then showed.
CliExitCode ExitCodeFor(UpdateOutcome outcome);
// SIGHUP (or the Windows console closed) 129, SIGINT/Ctrl+C 130, SIGTERM 143.
CliExitCode ExitCodeForInterruption(CConsoleInterrupt::Reason reason);

}  // namespace zorflash
