#include "cli/run/ExitCodes.h"


namespace zorflash {

CliExitCode ExitCodeFor(UpdateOutcome outcome)
{
    switch (outcome) {
    case UpdateOutcome::Completed:
        return kExitCompleted;
    case UpdateOutcome::Cancelled:
        return kExitCancelled;
    case UpdateOutcome::Interrupted:
        return kExitInterrupted;
    case UpdateOutcome::FileError:
    case UpdateOutcome::OutOfMemory:
    case UpdateOutcome::InvalidRomType:
    case UpdateOutcome::IncorrectInputFile:
    case UpdateOutcome::IncorrectChecksum:
    case UpdateOutcome::NoEndRecord:
    case UpdateOutcome::TargetNotOpened:
    case UpdateOutcome::CommunicationError:
    case UpdateOutcome::SetupFailure:
    case UpdateOutcome::NoIdentification:
    case UpdateOutcome::HeaderSizeFailure:
    case UpdateOutcome::HeaderTransferError:
        return kExitFailed;
    }
    return kExitFailed;
}

CliExitCode ExitCodeForInterruption(CConsoleInterrupt::Reason reason)
{
    switch (reason) {
    case CConsoleInterrupt::Reason::HangUp:
        return kExitHangUp;
    case CConsoleInterrupt::Reason::Terminate:
        return kExitTerminated;
    default:
        return kExitInterrupted;
    }
}

}  // namespace zorflash
