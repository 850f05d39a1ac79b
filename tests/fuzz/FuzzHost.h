#pragma once

// The form as the fuzz targets play it: the status box is a CEditText, every disk prompt
// is cancelled (a fuzz input never waits for an operator), and the transfer time-out is
// short so that an input that makes the engine wait still ends quickly.

#include "platform/EditText.h"
#include "update/UpdateHost.h"

#include <cstdint>
#include <string>
#include <vector>

class CFuzzHost : public CUpdateHost {
public:
    CFuzzHost(const UpdateSettings& settings, uint32_t timeoutMs) : m_settings(settings), m_timeoutMs(timeoutMs) {}

    const UpdateSettings& Settings() const override { return m_settings; }
    int StatusGetTextLength() override { return m_status.GetTextLength(); }
    void StatusSetSel(int start, int end) override { m_status.SetSel(start, end); }
    void StatusScrollCaret() override {}
    void StatusReplaceSel(const std::string& text) override { m_status.ReplaceSel(text); }
    int StatusLineFromChar(int charIndex) override { return m_status.LineFromChar(charIndex); }
    int StatusLineIndex(int line) override { return m_status.LineIndex(line); }
    void StatusSetText(const std::string& text) override { m_status.SetText(text); }
    bool PromptOkCancel(const std::string&) override
    {
        ++m_prompts;
        return false;
    }
    void ReportError(const std::string& text) override { m_errors.push_back(text); }
    void PostUpdateFinished() override {}
    uint32_t TransferTimeout() const override { return m_timeoutMs; }

    const std::string& Text() const { return m_status.GetText(); }
    size_t Prompts() const { return m_prompts; }
    const std::vector<std::string>& Errors() const { return m_errors; }

private:
    UpdateSettings m_settings;
    uint32_t m_timeoutMs;
    CEditText m_status;
    size_t m_prompts = 0;
    std::vector<std::string> m_errors;
};
