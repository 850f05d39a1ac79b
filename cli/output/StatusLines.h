#pragma once

#include "present/OutcomeTable.h"
#include "update/LogChange.h"

#include <cstddef>
#include <string>
#include <vector>

namespace zorflash {

// A target's status log as lines that each print once: a line counts as ended at its
// CR LF, and a message appended straight behind a progress text ends that text's line
// (the status box shows both on one line; a rendering line by line cannot). The log only
// grows at its end or rewrites its last line, so a line once ended stays as printed.
class CStatusLines {
public:
    struct Line {
        std::string text;
        OutcomeColour colour = OutcomeColour::None;  // the message that tells how the run ended
    };

    // `text` is the log after `change`; answers the lines the change ended.
    std::vector<Line> Apply(const std::string& text, const LogChange& change);
    // The run has ended: the line still in progress, if any, ends too.
    std::vector<Line> Rest();

    const std::string& Text() const { return m_text; }
    // The line in progress (empty between two lines).
    std::string Current() const { return m_text.substr(m_printedUpTo); }

private:
    void Take(std::vector<Line>& lines, std::size_t end);

    std::string m_text;
    std::size_t m_printedUpTo = 0;
    std::size_t m_endingAt = std::string::npos;  // where the message telling the outcome starts
    OutcomeColour m_endingColour = OutcomeColour::None;
};

}  // namespace zorflash
