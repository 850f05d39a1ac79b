#pragma once

namespace zorflash {

// How a disk prompt ended. None: it did not end the run (the operator answered OK).
// Nobody there (end of input, --no-prompt) is told apart from the operator's Cancel: a
// script gets a failure for it, not the operator's cancellation.
enum class PromptEnd { None, OperatorCancelled, EndOfInput, NotAsked, Interrupted };

// The answer's name in the JSON "answer" event.
inline const char* PromptAnswerName(PromptEnd end)
{
    switch (end) {
    case PromptEnd::None:
        return "ok";
    case PromptEnd::OperatorCancelled:
        return "cancel";
    case PromptEnd::EndOfInput:
        return "end-of-input";
    case PromptEnd::NotAsked:
        return "not-asked";
    case PromptEnd::Interrupted:
        break;
    }
    return "interrupted";
}

}  // namespace zorflash
