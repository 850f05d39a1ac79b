#include "cli/output/FlashOutcome.h"

#include "present/OutcomeTable.h"

namespace zorflash {

const OutcomeRow& FlashOutcome::Row() const
{
    return nobodyAnswered ? COutcomeTable::PromptUnanswered() : COutcomeTable::Of(outcome);
}

FlashOutcome OutcomeOfRun(const UpdateResult& result, PromptEnd promptEnd)
{
    FlashOutcome flash;
    flash.outcome = result.outcome;
    // The volume could not be opened for want of a resource: a file error, not a Cancel.
    if (result.outcome == UpdateOutcome::Cancelled && promptEnd == PromptEnd::ResourceShortage)
        flash.outcome = UpdateOutcome::FileError;
    flash.nobodyAnswered = result.outcome == UpdateOutcome::Cancelled &&
                           (promptEnd == PromptEnd::EndOfInput ||
                            promptEnd == PromptEnd::NotAsked);
    return flash;
}

}  // namespace zorflash
