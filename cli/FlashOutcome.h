#pragma once

#include "cli/TerminalHost.h"

#include <string>

// How one `flash` ended, as a script acts on it: the outcome's name (the JSON result's
// "outcome") and its exit code, from one table.
enum class FlashOutcome {
    Completed,
    OperatorCancelled,   // the operator answered the disk prompt with Cancel
    NobodyAnswered,      // the disk prompt met end of input, or --no-prompt
    FileProblem,         // the update file: checksum, missing END, short header, unreadable
    InvalidRomType,
    TargetNotOpened,
    SetupFailure,        // the sync reply was wrong
    NoIdentification,    // the identification reply was wrong or missing
    HeaderSizeFailure,
    HeaderTransferError,
    CommunicationError,
    Interrupted,         // a signal ended the run
};

struct FlashOutcomeInfo {
    const char* name;
    int exitCode;
};

FlashOutcomeInfo DescribeOutcome(FlashOutcome outcome);

// The outcome of a run, from the message the run ended with and how its disk prompt was
// answered. (Until the engine returns a typed result, the last message is what tells.)
FlashOutcome OutcomeOfRun(const std::string& statusText, CTerminalHost::PromptEnd promptEnd, bool interrupted);

// The outcome a run would have had for the message `statusId` (the pre-check's findings).
FlashOutcome OutcomeOfMessage(unsigned statusId, CTerminalHost::PromptEnd promptEnd);
