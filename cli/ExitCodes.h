#pragma once

// What zorflash-cli tells a script.
enum CliExitCode : int {
    kExitCompleted = 0,    // the transfer completed (inspect: the file would transfer completely)
    kExitFailed = 1,       // file, target or communication failure, or a disk prompt nobody answered; stderr says why
    kExitUsage = 2,        // command-line error
    kExitCancelled = 3,    // the operator cancelled the disk prompt
    kExitInterrupted = 130 // Ctrl+C: the link was closed first
};
