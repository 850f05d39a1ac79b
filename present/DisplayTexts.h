#pragma once

#include "resources/strings/Language.h"

#include <initializer_list>
#include <string>

namespace zorflash {

// The words the progress displays and the summary put around their figures, in both
// languages. The status texts themselves come from the string tables and never change;
// these only frame them, so a run in Japanese reads in Japanese from the first line to
// the summary.
class CDisplayTexts {
public:
    enum class Id {
        // The summary table's column headers.
        Target, Outcome, Records, Bytes, Time, Rate,
        // The count line under the table.
        TargetCount, TargetCountOne, CountCompleted, CountFailed, CountCancelled, CountInterrupted, Separator,
        // The fleet block's overall line.
        OverallDone, OverallRunning, OverallWaiting, OverallFailed, OverallEta,
        // A running target's state, short enough to leave room for its figures.
        StateConnecting, StateHeader, StateSending, StateDisk, StateDone,
        TimeLeft,
        // The line that ends a single run.
        SentSummary,
        // A fleet's end: a target the run ended before its turn, and the line on stderr.
        NotStarted, NotCompleted, AndMore,
    };

    static const char* Text(Id id, Language language);
    // The text with each "{}" replaced by the next of `values`, in order.
    static std::string Format(Id id, Language language, std::initializer_list<std::string> values);
};

}  // namespace zorflash
