#pragma once

// A host for engine tests: the status box is a CEditText, prompts are answered from a
// script, and every record-stream write is recorded.

#include "platform/EditText.h"
#include "update/UpdateHost.h"

#include <atomic>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace testsupport {

class RecordingHost : public CUpdateHost {
public:
    explicit RecordingHost(const UpdateSettings& settings) : settings(settings) {}

    const UpdateSettings& Settings() const override { return settings; }
    int StatusGetTextLength() override { ++statusRequests; return status.GetTextLength(); }
    void StatusSetSel(int start, int end) override { ++statusRequests; status.SetSel(start, end); }
    void StatusScrollCaret() override { ++statusRequests; }
    void StatusReplaceSel(const std::string& text) override { ++statusRequests; status.ReplaceSel(text); }
    int StatusLineFromChar(int charIndex) override { ++statusRequests; return status.LineFromChar(charIndex); }
    int StatusLineIndex(int line) override { ++statusRequests; return status.LineIndex(line); }
    void StatusSetText(const std::string& text) override { ++statusRequests; status.SetText(text); }

    bool PromptOkCancel(const std::string& text) override
    {
        prompts.push_back(text);
        if (beforeAnswer)
            beforeAnswer(prompts.size());
        if (answers.empty())
            return false;
        const bool ok = answers.front();
        answers.pop_front();
        return ok;
    }
    void ReportError(const std::string& text) override { errors.push_back(text); }
    void PostUpdateFinished() override
    {
        finishedWithText = status.GetText();
        finished.store(true);
    }
    void OnRecordStreamWrite(uint32_t bytes) override { writes.push_back(bytes); }
    uint32_t TransferTimeout() const override { return timeoutMs; }

    std::string Text() const { return status.GetText(); }

    UpdateSettings settings;
    CEditText status;
    std::deque<bool> answers;                       // true = OK; empty = Cancel
    std::function<void(size_t)> beforeAnswer;       // runs before a prompt is answered
    std::vector<std::string> prompts;
    std::vector<std::string> errors;
    std::vector<uint32_t> writes;                   // sizes of the record-stream writes
    std::atomic<bool> finished{false};
    std::string finishedWithText;
    int statusRequests = 0;
    uint32_t timeoutMs = 10000;
};

}  // namespace testsupport
