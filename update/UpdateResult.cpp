#include "update/UpdateResult.h"

namespace zorflash {

const char* OutcomeName(UpdateOutcome outcome)
{
    switch (outcome) {
    case UpdateOutcome::Completed: return "completed";
    case UpdateOutcome::Cancelled: return "cancelled";
    case UpdateOutcome::FileError: return "file-error";
    case UpdateOutcome::OutOfMemory: return "out-of-memory";
    case UpdateOutcome::InvalidRomType: return "invalid-rom-type";
    case UpdateOutcome::IncorrectInputFile: return "incorrect-input-file";
    case UpdateOutcome::IncorrectChecksum: return "incorrect-checksum";
    case UpdateOutcome::NoEndRecord: return "no-end-record";
    case UpdateOutcome::TargetNotOpened: return "target-not-opened";
    case UpdateOutcome::CommunicationError: return "communication-error";
    case UpdateOutcome::SetupFailure: return "setup-failure";
    case UpdateOutcome::NoIdentification: return "no-identification";
    case UpdateOutcome::HeaderSizeFailure: return "header-size-failure";
    case UpdateOutcome::HeaderTransferError: return "header-transfer-error";
    case UpdateOutcome::Interrupted: return "interrupted";
    }
    return "unknown";
}

const char* StepName(UpdateStep step)
{
    switch (step) {
    case UpdateStep::OpeningFile: return "opening-file";
    case UpdateStep::OpeningTarget: return "opening-target";
    case UpdateStep::UpdateStart: return "update-start";
    case UpdateStep::Sync: return "sync";
    case UpdateStep::Identification: return "identification";
    case UpdateStep::HeaderSize: return "header-size";
    case UpdateStep::Header: return "header";
    case UpdateStep::StartRecord: return "start-record";
    case UpdateStep::Records: return "records";
    case UpdateStep::EndRecord: return "end-record";
    case UpdateStep::Finished: return "finished";
    }
    return "unknown";
}

}  // namespace zorflash
