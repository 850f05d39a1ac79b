#pragma once

#include "update/UpdateResult.h"

#include <optional>
#include <string>

namespace zorflash {

// One change of the status log, told together with the log: the job knows what it did,
// so no front end has to compare texts to find out.
struct LogChange {
    enum class Kind { Cleared, Appended, LastLineReplaced };

    Kind kind = Kind::Cleared;
    std::string text;        // what was appended, or the last line as it now reads
    unsigned messageId = 0;  // the numbered message written; 0 for a progress text
    // An append that continues the progress text on its line: the status box shows both on
    // one line, a rendering line by line gives the message a line of its own.
    bool gluedToProgress = false;
    // Set on the message that tells how the run ended.
    std::optional<UpdateOutcome> ends;
};

}  // namespace zorflash
