#include "FuzzHost.h"

CFuzzHost::CFuzzHost(const UpdateSettings& settings, uint32_t timeoutMs)
    : m_settings(settings), m_timeoutMs(timeoutMs)
{
}

bool CFuzzHost::PromptOkCancel(const std::string& text)
{
    (void)text;
    ++m_prompts;
    return false;
}
