#pragma once

#include "cli/prompt/PromptEnd.h"
#include "present/OutcomeTable.h"
#include "update/UpdateResult.h"

namespace zorflash {

// How one `flash` ended, as a script acts on it: the engine's outcome, with its name (the
// JSON result's "outcome") and its exit code from the outcome table, where a disk prompt
// nobody answered (end of input, --no-prompt) is no operator's Cancel: it is a failure.
struct FlashOutcome {
    UpdateOutcome outcome = UpdateOutcome::Completed;
    bool nobodyAnswered = false;

    const OutcomeRow& Row() const;
};

FlashOutcome OutcomeOfRun(const UpdateResult& result, PromptEnd promptEnd);

}  // namespace zorflash
