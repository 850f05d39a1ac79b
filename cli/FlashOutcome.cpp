#include "cli/FlashOutcome.h"

#include "cli/ExitCodes.h"
#include "platform/StringResource.h"
#include "update/UpdateProtocol.h"

namespace {
bool EndsWith(const std::string& text, const std::string& tail)
{
    return !tail.empty() && text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

constexpr unsigned kFinalMessages[] = {
    IDS_TRANSFER_COMPLETED, IDS_ABORTED_BY_INSTRUCTION, IDS_INVALID_ROM_TYPE,    IDS_CANNOT_OPEN_TARGET,
    IDS_SETUP_FAILURE,      IDS_NO_MORVENAL,            IDS_HEADER_SIZE_FAILURE, IDS_INCORRECT_INPUT_FILE,
    IDS_HEADER_TRANSFER_ERROR, IDS_NO_END_RECORD,       IDS_INCORRECT_CHECKSUM,  IDS_COMMUNICATION_ERROR,
};
}  // namespace

FlashOutcomeInfo DescribeOutcome(FlashOutcome outcome)
{
    switch (outcome) {
    case FlashOutcome::Completed:
        return {"completed", kExitCompleted};
    case FlashOutcome::OperatorCancelled:
        return {"cancelled", kExitCancelled};
    case FlashOutcome::NobodyAnswered:
        return {"prompt-unanswered", kExitFailed};
    case FlashOutcome::FileProblem:
        return {"file-problem", kExitFailed};
    case FlashOutcome::InvalidRomType:
        return {"invalid-rom-type", kExitFailed};
    case FlashOutcome::TargetNotOpened:
        return {"target-not-opened", kExitFailed};
    case FlashOutcome::SetupFailure:
        return {"setup-failure", kExitFailed};
    case FlashOutcome::NoIdentification:
        return {"no-identification", kExitFailed};
    case FlashOutcome::HeaderSizeFailure:
        return {"header-size-failure", kExitFailed};
    case FlashOutcome::HeaderTransferError:
        return {"header-transfer-error", kExitFailed};
    case FlashOutcome::CommunicationError:
        return {"communication-error", kExitFailed};
    case FlashOutcome::Interrupted:
        return {"interrupted", kExitInterrupted};
    }
    return {"communication-error", kExitFailed};
}

FlashOutcome OutcomeOfMessage(unsigned statusId, CTerminalHost::PromptEnd promptEnd)
{
    switch (statusId) {
    case IDS_TRANSFER_COMPLETED:
        return FlashOutcome::Completed;
    case IDS_ABORTED_BY_INSTRUCTION:
        switch (promptEnd) {
        case CTerminalHost::PromptEnd::OperatorCancelled:
            return FlashOutcome::OperatorCancelled;
        case CTerminalHost::PromptEnd::EndOfInput:
        case CTerminalHost::PromptEnd::NotAsked:
            return FlashOutcome::NobodyAnswered;
        case CTerminalHost::PromptEnd::Interrupted:
            return FlashOutcome::Interrupted;
        case CTerminalHost::PromptEnd::None:
            break;
        }
        return FlashOutcome::FileProblem;  // the volume opener reported a file error
    case IDS_INVALID_ROM_TYPE:
        return FlashOutcome::InvalidRomType;
    case IDS_CANNOT_OPEN_TARGET:
        return FlashOutcome::TargetNotOpened;
    case IDS_SETUP_FAILURE:
        return FlashOutcome::SetupFailure;
    case IDS_NO_MORVENAL:
        return FlashOutcome::NoIdentification;
    case IDS_HEADER_SIZE_FAILURE:
        return FlashOutcome::HeaderSizeFailure;
    case IDS_HEADER_TRANSFER_ERROR:
        return FlashOutcome::HeaderTransferError;
    case IDS_COMMUNICATION_ERROR:
        return FlashOutcome::CommunicationError;
    default:
        return FlashOutcome::FileProblem;  // short header, checksum, no END, a caught file error
    }
}

FlashOutcome OutcomeOfRun(const std::string& statusText, CTerminalHost::PromptEnd promptEnd, bool interrupted)
{
    if (interrupted)
        return FlashOutcome::Interrupted;
    for (unsigned id : kFinalMessages)
        if (EndsWith(statusText, LoadStringResource(id)))
            return OutcomeOfMessage(id, promptEnd);
    return FlashOutcome::FileProblem;  // ended by a reported file or memory error
}
