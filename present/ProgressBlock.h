#pragma once

#include "present/SummaryTable.h"
#include "resources/strings/Language.h"
#include "update/UpdateProgress.h"

#include <string>
#include <vector>

namespace zorflash {

// The progress of many instruments on one terminal: one line per running target and an
// overall line under them, redrawn in place as a block below the lines already printed,
// with each finished target's result line scrolling up above it. Pure text (escape
// sequences included), so it is tested without a terminal; the caller writes what Draw
// and Clear return.
//
// Every line fits in width - 1 columns (the last column would leave the cursor in the
// terminal's pending-wrap state, which terminals treat differently), and the block is at
// most height - 1 lines, so it never scrolls the screen by itself. A line too long for
// the terminal loses whole columns (rate, then time, then bytes), never part of a word
// or a number.
class CProgressBlock {
public:
    struct Row {
        std::string target;
        UpdateProgress progress;  // bytes of the volumes known, step, volume, rate
    };
    // Where the whole fleet stands: the running rows and the counts of the others.
    struct Fleet {
        std::vector<Row> running;
        int targets = 0;
        int done = 0;     // ended, however
        int failed = 0;   // of those done
        int waiting = 0;  // not started yet, waiting for a lane
    };

    // `colour`: result lines red for a failure and green for a completed update.
    CProgressBlock(Language language, bool colour);

    // Prints the result lines of `finished` above the block, then the block of `fleet` for
    // a terminal of the given size. After a resize the old block is found again as a
    // terminal that re-wraps its lines shows it.
    std::string Draw(const std::vector<CSummaryTable::Row>& finished, const Fleet& fleet, int width, int height);
    // Removes the block and leaves the cursor where it began: the screen holds only what
    // was printed above it.
    std::string Clear(int width);

    // The rows' lines in `columns`, aligned with each other.
    std::vector<std::string> FormatRows(const std::vector<Row>& rows, int columns) const;
    // "3/8 done, 2 running, 3 waiting, 1 failed, ETA 00:40", losing its last parts first.
    std::string Overall(const Fleet& fleet, int columns) const;
    // A running target's state in a word or two.
    std::string StateOf(const UpdateProgress& progress) const;

private:
    std::string MoveToTop(int width) const;

    Language m_language;
    bool m_colour;
    std::vector<int> m_shown;  // display widths of the block's lines on the screen
};

}  // namespace zorflash
