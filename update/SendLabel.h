#pragma once

#include "update/UpdateResult.h"

#include <cstdint>
#include <string>

namespace zorflash {

// What one write of the job carries, told to the host just before it goes out: a trace or
// a failure's reason names it from here, never by reading the bytes again.
struct SendLabel {
    UpdateStep step = UpdateStep::UpdateStart;
    int section = 0;           // from 1 for a section's START, records and END; 0 before
    uint64_t firstRecord = 0;  // the records of the section the write holds, numbered as
    uint64_t lastRecord = 0;   // "Sending (N) Record" counts them: START is 0
    uint32_t bytes = 0;
    // A write of records: the size of its first record and where its last one begins, so a
    // trace can show both without parsing the write.
    uint32_t firstRecordBytes = 0;
    uint32_t lastRecordOffset = 0;

    bool HoldsRecords() const { return step == UpdateStep::StartRecord || step == UpdateStep::Records; }
    uint64_t Records() const { return HoldsRecords() ? lastRecord - firstRecord + 1 : 0; }
    // In the protocol's words: "the sync byte 0x55", "records 2..65 of section 1".
    std::string Describe() const;
    // The reply the instrument owes for this write, in the same words; empty if none.
    std::string ExpectedReply() const;
};

}  // namespace zorflash
