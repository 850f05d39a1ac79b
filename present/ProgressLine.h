#pragma once

#include "resources/strings/Language.h"
#include "update/UpdateProgress.h"

#include <cstdint>
#include <string>

namespace zorflash {

// The terminal's progress line: the status box's last line, then a bar, the percent (and
// for a file of two volumes which one is being sent), the bytes of the record stream sent
// out of the total known, the rate and the time left, fitted to the terminal's columns;
// and the summary line that follows a completed run. Pure text, so it is tested without
// a terminal.
class CProgressLine {
public:
    // At most columns - 1 columns wide: writing the last column makes some terminals wrap.
    static std::string Fit(const std::string& status, const UpdateProgress& progress, int columns,
                           Language language = Language::English);
    // " vol 2/2" for a file of two volumes, else nothing: a display that shows bytes of the
    // volumes known must also say that another is being sent or asked for.
    static std::string VolumeText(const UpdateProgress& progress);
    static std::string Summary(uint64_t bytes, uint64_t records, double seconds, Language language);
    static std::string FormatBytes(double bytes);
    static std::string FormatDuration(double seconds);
    // "12.3 s": how long a run or a wait took, for summaries and reasons.
    static std::string FormatSeconds(double seconds);
};

}  // namespace zorflash
