#include "cli/prompt/SharedPrompt.h"

namespace zorflash {

PromptEnd CSharedPrompt::Prompt(const std::string& volume, const std::string& text)
{
    std::unique_lock lock(m_mutex);
    Volume& state = m_volumes[volume];
    if (m_abandoned)
        return PromptEnd::Interrupted;
    if (state.cancelled)
        return state.answer;
    if (state.asking) {
        const unsigned round = state.round;
        ++state.waiting;
        m_answered.wait(lock, [&] { return state.round != round || m_abandoned; });
        --state.waiting;
        return state.round == round ? PromptEnd::Interrupted : state.answer;
    }
    state.asking = true;
    lock.unlock();
    PromptEnd answer = PromptEnd::Interrupted;
    {
        std::lock_guard terminal(m_terminal);
        bool abandoned = false;
        {
            std::lock_guard check(m_mutex);
            abandoned = m_abandoned;
        }
        if (!abandoned)
            answer = m_ask(text);
    }
    lock.lock();
    state.asking = false;
    state.answer = answer;
    state.cancelled = answer != PromptEnd::RunGoesOn;
    ++state.round;
    m_answered.notify_all();
    return answer;
}

void CSharedPrompt::Abandon()
{
    std::lock_guard lock(m_mutex);
    m_abandoned = true;
    m_answered.notify_all();
}

int CSharedPrompt::Waiting(const std::string& volume) const
{
    std::lock_guard lock(m_mutex);
    const auto found = m_volumes.find(volume);
    return found == m_volumes.end() ? 0 : found->second.waiting;
}

}  // namespace zorflash
