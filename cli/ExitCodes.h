#pragma once

#include "update/UpdateResult.h"

// What zorflash-cli tells a script.
enum CliExitCode : int {
    kExitCompleted = 0,    // the transfer completed (inspect: the file would transfer completely)
    kExitFailed = 1,       // file, target or communication failure; the status text says which
    kExitUsage = 2,        // command-line error
    kExitCancelled = 3,    // the operator cancelled the disk prompt
    kExitInterrupted = 130 // Ctrl+C: the link was closed first
};

// The one mapping from how an update ended to the exit code.
CliExitCode ExitCodeFor(UpdateOutcome outcome);
