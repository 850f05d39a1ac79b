#pragma once

#include <cerrno>
#include <cstdint>

namespace zorflash {

// How a disk prompt ended. RunGoesOn: no prompt has ended the run (the operator answered
// OK, or nobody was asked).
// Nobody there (end of input, --no-prompt) is told apart from the operator's Cancel: a
// script gets a failure for it, not the operator's cancellation.
// ResourceShortage: the volume could not be opened for want of a descriptor or memory;
// no disk swap can bring that, so nobody was asked.
enum class PromptEnd { RunGoesOn, OperatorCancelled, EndOfInput, NotAsked, Interrupted, ResourceShortage };

// An open that failed for want of a resource of the system (errno value), not for the file.
inline bool IsResourceShortage(uint32_t error)
{
    return error == EMFILE || error == ENFILE || error == ENOMEM;
}

// The answer's name in the JSON "answer" event, in the order of PromptEnd.
inline const char* PromptAnswerName(PromptEnd end)
{
    constexpr const char* kNames[] = {"ok", "cancel", "end-of-input", "not-asked", "interrupted", "not-asked"};
    return kNames[static_cast<int>(end)];
}

}  // namespace zorflash
