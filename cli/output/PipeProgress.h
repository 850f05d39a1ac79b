#pragma once

#include "resources/strings/Language.h"
#include "update/UpdateProgress.h"

#include <chrono>
#include <string>

namespace zorflash {

// Progress for a log nobody watches live (stdout a pipe or a file): a plain line whenever
// another tenth of the record stream has gone out or ten seconds have passed since the
// last line, so a CI log shows a long update moving without a line per block.
class CPipeProgress {
public:
    using Clock = std::chrono::steady_clock;

    // The line to print for `progress` at `now`, or empty when it is not yet due.
    std::string Next(const UpdateProgress& progress, Clock::time_point now, Language language = Language::English);

private:
    int m_lastTenth = 0;  // the record stream's tenths already told
    Clock::time_point m_lastLine{};
    bool m_started = false;
};

}  // namespace zorflash
