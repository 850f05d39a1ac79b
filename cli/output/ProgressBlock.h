#pragma once

#include "update/UpdateProgress.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zorflash {

// The progress of many instruments on one terminal: one line per running target, redrawn
// in place as a block below the lines already printed, with each finished target's result
// line scrolling up above it. Pure text (escape sequences included), so it is tested
// without a terminal; the caller writes what Draw and Clear return.
//
// Every line fits in width - 1 columns (the last column would leave the cursor in the
// terminal's pending-wrap state, which terminals treat differently), and the block is at
// most height - 1 lines, so it never scrolls the screen by itself.
class CProgressBlock {
public:
    struct Row {
        std::string target;
        std::string step;         // where the update is: connecting, header, records, ...
        UpdateProgress progress;  // bytes of the volumes known, volume, rate
    };

    // Prints `finished` above the block, then the block of `rows` for a terminal of the
    // given size. After a resize the old block is found again as a terminal that re-wraps
    // its lines shows it.
    std::string Draw(const std::vector<std::string>& finished, const std::vector<Row>& rows, int width, int height);
    // Removes the block and leaves the cursor where it began: the screen holds only what
    // was printed above it.
    std::string Clear(int width);

    // Columns a UTF-8 text takes on a terminal (East Asian wide characters take two).
    static int DisplayWidth(const std::string& text);
    // The longest prefix of `text` that fits in `columns`, cut between whole characters.
    static std::string Fit(const std::string& text, int columns);
    // One row's line in `columns`: target, step, bar, percent (with the volume for a file
    // of two) and rate, dropping the bar and then the rate when the terminal is narrow.
    static std::string FormatRow(const Row& row, int targetColumns, int stepColumns, int columns);

private:
    std::string MoveToTop(int width) const;

    std::vector<int> m_shown;  // display widths of the block's lines on the screen
};

}  // namespace zorflash
