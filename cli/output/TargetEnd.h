#pragma once

#include "present/LocalText.h"
#include "present/SummaryTable.h"

#include <cstdint>
#include <string>

namespace zorflash {

// How one target of `flash` ended, as everything after it reads it: its row of the table,
// its JSON result, the reason and the next step on stderr. One instrument's run and a
// fleet's targets end in the same values; only their drawing differs.
struct TargetEnd {
    CSummaryTable::Row row;
    std::string outcome;  // the JSON name
    int exitCode = 1;
    CLocalText reason;     // empty for a run that completed; English in the JSON, else the run's language
    std::string nextStep;  // the stderr line after the reason; empty for a run that completed
    std::string step;      // where its run ended, as its result event names it
    bool started = false;
    bool contacted = false;
    bool told = false;     // reason and next step are said already (the pre-check's refusal)
    bool shared = false;   // the same reason holds for every target (a volume, an answer)
    uint64_t bytesSent = 0;
    uint64_t records = 0;
    uint64_t acknowledgedRecords = 0;
    std::string lastLine;  // the status text's last line, for a quiet run that failed
};

}  // namespace zorflash
