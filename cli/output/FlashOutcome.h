#pragma once

#include "cli/prompt/PromptEnd.h"
#include "present/LocalText.h"
#include "present/OutcomeTable.h"
#include "update/UpdateResult.h"

#include <string>

namespace zorflash {

// How one `flash` ended, as a script acts on it: the engine's outcome, with its name (the
// JSON result's "outcome") and its exit code from the outcome table, where a disk prompt
// nobody answered (end of input, --no-prompt) is no operator's Cancel: it is a failure.
struct FlashOutcome {
    UpdateOutcome outcome = UpdateOutcome::Completed;
    bool nobodyAnswered = false;

    bool Completed() const { return outcome == UpdateOutcome::Completed; }
    const OutcomeRow& Row() const;
    const char* Name() const { return Row().name; }
    int ExitCode() const { return Row().exitCode; }
};

FlashOutcome OutcomeOfRun(const UpdateResult& result, PromptEnd promptEnd);

// The outcome the pre-check found the update would have had; a volume nobody is asked for
// ends as a prompt nobody answered.
FlashOutcome OutcomeOfRefusal(UpdateOutcome outcome, bool nobodyAsked);

// The reason of a run whose volume `path` could not be opened for want of a resource
// (PromptEnd::ResourceShortage), with the system's text.
CLocalText ShortageReason(const std::string& path, const std::string& systemText);

}  // namespace zorflash
