#pragma once

#include "cli/prompt/PromptEnd.h"

#include <cstddef>
#include <functional>
#include <string>

namespace zorflash {

class CAbortSignal;

// The operator's answers to the disk prompt, one line each from the standard input. The
// input may be anything (a file, /dev/zero, `yes`), so it is read in blocks and a line no
// person would type ends the answering instead of growing without bound.
class CAnswerInput {
public:
    static constexpr std::size_t kMaxAnswerLength = 256;
    // The disk prompt answers Cancel by itself after this many questions of one run: a
    // flood of answers (yes | ...) would otherwise make it repeat without end.
    static constexpr int kMaxPrompts = 100;
    using Write = std::function<void(const std::string& text)>;

    // The disk prompt's loop: `ask` puts the question (with the answers it takes) on
    // stderr, `write` any other text, until a line counts: OK (Enter, ok, y, yes) gives
    // PromptEnd::RunGoesOn, Cancel (c, cancel, n, no) OperatorCancelled; nobody there, the
    // abort signal or a line no person types end it as PromptEnd says. Past kMaxPrompts
    // questions `tooMany` is written and the answer is Cancel.
    PromptEnd Ask(const std::string& question, const CAbortSignal& abort, const Write& ask, const Write& write,
                  const std::string& tooMany);

private:
    // The next line, blanks dropped and lower-cased. False at the end of input, on a read
    // error, on a line longer than kMaxAnswerLength, or at once when abort is triggered.
    bool ReadLine(std::string& answer, const CAbortSignal& abort);

    std::string m_input;  // read, not yet taken as a line
    // The last failed ReadLine met the end of the input or a read error (nobody answers),
    // not an interruption or an overlong line.
    bool m_ended = false;
    int m_prompts = 0;    // questions asked so far
};

}  // namespace zorflash
