#pragma once

// The form as the fuzz targets play it: the job's log as last told, every disk prompt
// is cancelled (a fuzz input never waits for an operator), and the transfer time-out is
// short so that an input that makes the engine wait still ends quickly.

#include "platform/EditText.h"
#include "update/UpdateHost.h"

#include <cstdint>
#include <string>
#include <vector>

using namespace zorflash;

class CFuzzHost : public CUpdateHost {
public:
    CFuzzHost(const UpdateSettings& settings, uint32_t timeoutMs) : m_settings(settings), m_timeoutMs(timeoutMs) {}

    const UpdateSettings& Settings() const override { return m_settings; }
    Language StatusLanguage() const override { return Language::English; }
    void OnStatusLogChanged(const CEditText& log) override { m_status = log.GetText(); }
    bool PromptOkCancel(const std::string&) override
    {
        ++m_prompts;
        return false;
    }
    void ReportError(const std::string& text) override { m_errors.push_back(text); }
    void PostUpdateFinished(const UpdateResult&) override {}
    uint32_t TransferTimeout() const override { return m_timeoutMs; }

    const std::string& Text() const { return m_status; }
    size_t Prompts() const { return m_prompts; }
    const std::vector<std::string>& Errors() const { return m_errors; }

private:
    UpdateSettings m_settings;
    uint32_t m_timeoutMs;
    std::string m_status;
    size_t m_prompts = 0;
    std::vector<std::string> m_errors;
};
