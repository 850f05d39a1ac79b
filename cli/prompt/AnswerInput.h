#pragma once

#include <cstddef>
#include <string>

namespace zorflash {

class CAbortSignal;

// The operator's answers to the disk prompt, one line each from the standard input. The
// input may be anything (a file, /dev/zero, `yes`), so it is read in blocks and a line no
// person would type ends the answering instead of growing without bound.
class CAnswerInput {
public:
    static constexpr std::size_t kMaxAnswerLength = 256;

    // The next line, blanks dropped and lower-cased. False at the end of input, on a read
    // error, on a line longer than kMaxAnswerLength, or at once when abort is triggered.
    bool ReadLine(std::string& answer, const CAbortSignal& abort);
    // The last failed ReadLine met the end of the input or a read error (nobody answers),
    // not an interruption or an overlong line.
    bool Ended() const { return m_ended; }

private:
    std::string m_input;  // read, not yet taken as a line
    bool m_ended = false;
};

}  // namespace zorflash
