#pragma once

#include "present/OutcomeTable.h"
#include "resources/strings/Language.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zorflash {

// The verdict of a fleet command: one row per target (target, outcome, records, bytes,
// time, rate) and a count line.
class CSummaryTable {
public:
    using Verdict = OutcomeVerdict;

    struct Row {
        std::string target;
        Verdict verdict = Verdict::Failed;
        std::string outcome;     // in the operator's words: "completed", "no reply at the header", ...
        long long records = 0;   // records sent; negative: not known
        uint64_t bytes = 0;      // record stream bytes sent
        double seconds = 0;
        double sendingSeconds = -1;  // the seconds less the disk prompt's waits; negative: the seconds

        // Bytes a second: the time an operator took to bring a volume is not the link's.
        double Rate() const;
    };

    // How the table is shown: `width` 0 for a pipe, where nothing is fitted.
    struct Style {
        Language language = Language::English;
        int width = 0;
        bool colour = false;  // completed rows green, failed rows red
    };

    // The table and its count line, each line ending in "\n". On a terminal every line fits
    // in width - 1 columns: the rate goes first, then the time, then the bytes.
    static std::string Format(const std::vector<Row>& rows, const Style& style);
    // One finished target's line above a fleet's progress: target, outcome, bytes, time.
    static std::string ResultLine(const Row& row, const Style& style);
};

}  // namespace zorflash
