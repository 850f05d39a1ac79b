#include "cli/output/FlashOutcome.h"

#include "cli/output/PrintableText.h"
#include "present/OutcomeTable.h"
#include "update/UpdateProtocol.h"

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

FlashOutcome OutcomeOfMessage(unsigned statusId, bool nobodyAsked)
{
    FlashOutcome flash;
    switch (statusId) {
    case IDS_ABORTED_BY_INSTRUCTION:
        flash.outcome = nobodyAsked ? UpdateOutcome::Cancelled : UpdateOutcome::FileError;
        flash.nobodyAnswered = nobodyAsked;
        break;
    case IDS_INVALID_ROM_TYPE:
        flash.outcome = UpdateOutcome::InvalidRomType;
        break;
    case IDS_INCORRECT_INPUT_FILE:
        flash.outcome = UpdateOutcome::IncorrectInputFile;
        break;
    case IDS_INCORRECT_CHECKSUM:
        flash.outcome = UpdateOutcome::IncorrectChecksum;
        break;
    case IDS_NO_END_RECORD:
        flash.outcome = UpdateOutcome::NoEndRecord;
        break;
    default:
        flash.outcome = UpdateOutcome::FileError;  // a file error the check met
        break;
    }
    return flash;
}

std::string ShortageReason(const std::string& path, const std::string& systemText)
{
    return "cannot open " + PrintableText(path) + ": " + systemText +
           " (the system ran out of a resource; no disk was asked for, since none could help)";
}

}  // namespace zorflash
