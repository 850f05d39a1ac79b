#pragma once

#include <cstdint>
#include <string>

namespace zorflash {

// The terminal's progress line: the status box's last line, then the bytes of the record
// stream sent out of the total, a bar, the rate and the time left, fitted to the
// terminal's columns; and the summary line that follows a completed run. Pure text, so
// it is tested without a terminal.
class CProgressLine {
public:
    // At most columns - 1 columns wide: writing the last column makes some terminals wrap.
    static std::string Fit(const std::string& status, uint64_t sent, uint64_t total, double elapsedSeconds,
                           int columns);
    static std::string Summary(uint64_t bytes, uint64_t records, double seconds);
    static std::string FormatBytes(double bytes);
    static std::string FormatDuration(double seconds);
    // "12.3 s": how long a run or a wait took, for summaries and reasons.
    static std::string FormatSeconds(double seconds);
};

}  // namespace zorflash
