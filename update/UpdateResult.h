#pragma once

#include "update/VolumeRefusal.h"

#include <cstdint>
#include <optional>

namespace zorflash {

// How an update ended. Every outcome but Completed leaves its own message in the status
// log; front ends choose exit codes and words from this value, never from the text.
enum class UpdateOutcome {
    Completed,           // every needed END went out and was taken
    Cancelled,           // the operator answered Cancel at the disk prompt
    FileError,           // a file error was caught and reported to the operator
    OutOfMemory,         // an allocation failed and was reported
    InvalidRomType,      // volume 1's first line is none of the model's header lines
    IncorrectInputFile,  // volume 1 is shorter than its header
    IncorrectChecksum,   // a record's checksum is wrong, or the record is cut short
    NoEndRecord,         // a section runs past the end of volume 2
    TargetNotOpened,     // the link to the instrument could not be opened
    CommunicationError,  // a send or receive failed; the step says which
    SetupFailure,        // the instrument answered the sync byte wrongly
    NoIdentification,    // the instrument's identification reply was not MORVENAL
    HeaderSizeFailure,   // the header size was not echoed
    HeaderTransferError, // the header was not acknowledged
    Interrupted,         // the front end's abort signal ended the run
};

// Where the run was when it ended.
enum class UpdateStep {
    OpeningFile,     // volume 1 and its ROM kind
    OpeningTarget,   // the link
    UpdateStart,     // the update-start command
    Sync,            // sync byte and its reply
    Identification,  // identification command and reply
    HeaderSize,      // header size byte and its echo
    Header,          // the 56 header bytes and their acknowledgement
    StartRecord,     // a section's START record and its acknowledgement
    Records,         // the records behind START, a block at a time in fast mode
    EndRecord,       // a section's END byte
    Finished,        // nothing left to do
};

struct UpdateResult {
    UpdateOutcome outcome = UpdateOutcome::Completed;
    UpdateStep step = UpdateStep::OpeningFile;
    uint64_t records = 0;  // records written to the link, START records included
    uint64_t bytes = 0;    // bytes of the record stream written to the link, END bytes included
    uint64_t blocks = 0;   // acknowledgements received for records behind START
    // Records the instrument has confirmed: those written before its last acknowledgement.
    // A section's records after its last acknowledgement, and its END, are never
    // confirmed by the protocol, so even a completed update counts fewer than `records`.
    uint64_t acknowledgedRecords = 0;
    // A run that ended at the disk prompt: the volume it asked for and why the one there was
    // not taken, as the prompt was told.
    std::optional<VolumeRefusal> refusal;

    bool Completed() const { return outcome == UpdateOutcome::Completed; }
};

// Short English names for logs and machine-readable output (not operator texts).
const char* OutcomeName(UpdateOutcome outcome);
const char* StepName(UpdateStep step);

}  // namespace zorflash
