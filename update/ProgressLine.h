#pragma once

#include <cstdint>
#include <string>

namespace zorflash {

// The terminal's progress bar: bytes of the record stream sent out of the volumes' total,
// the rate and the time left. Pure text, so it is tested without a terminal.
class CProgressLine {
public:
    static std::string Format(uint64_t sent, uint64_t total, double elapsedSeconds, int width = 24);
    static std::string FormatBytes(double bytes);
    static std::string FormatDuration(double seconds);
};

}  // namespace zorflash
