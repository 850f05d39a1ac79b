#pragma once

#include "cli/prompt/PromptEnd.h"

#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>

namespace zorflash {

// The disk prompt of a fleet command. All targets read the same file, so they run out of
// a volume at about the same time: the operator is asked once for all targets waiting on
// that volume, and the answer applies to every one of them. Cancel stays the answer for
// that volume for the rest of the run; after OK a target that still misses the file asks
// again. Questions about different volumes take turns on the terminal.
//
// Prompt() is called on the jobs' worker threads and blocks, as the disk prompt does:
// a person must answer. Abandon() (Ctrl+C) releases every waiter as interrupted; the
// operator's question itself is ended by the asker's own abort signal. How a question
// ended (PromptEnd::RunGoesOn for OK) is what every target waiting on it gets.
class CSharedPrompt {
public:
    using Ask = std::function<PromptEnd(const std::string& text)>;

    explicit CSharedPrompt(Ask ask) : m_ask(std::move(ask)) {}

    // PromptEnd::RunGoesOn for OK. `volume` names what is waited for (the file looked for).
    PromptEnd Prompt(const std::string& volume, const std::string& text);
    void Abandon();
    // Targets waiting for the question already asked about this volume.
    int Waiting(const std::string& volume) const;

private:
    struct Volume {
        bool asking = false;
        bool cancelled = false;
        PromptEnd answer = PromptEnd::RunGoesOn;
        unsigned round = 0;  // questions answered so far
        int waiting = 0;
    };

    Ask m_ask;
    mutable std::mutex m_mutex;
    std::condition_variable m_answered;
    std::map<std::string, Volume> m_volumes;
    bool m_abandoned = false;
    std::mutex m_terminal;  // one question on the terminal at a time
};

}  // namespace zorflash
