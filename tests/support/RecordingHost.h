#pragma once

// A host for engine tests: keeps the job's log as last told, answers prompts from a
// script, and records every record-stream write and the outcome.

#include "platform/EditText.h"
#include "update/UpdateHost.h"

#include <atomic>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

using namespace zorflash;

namespace testsupport {

class RecordingHost : public CUpdateHost {
public:
    explicit RecordingHost(const UpdateSettings& settings) : settings(settings) {}

    const UpdateSettings& Settings() const override { return settings; }
    Language StatusLanguage() const override { return language; }
    void OnStatusLogChanged(const CEditText& log, const LogChange& change) override
    {
        ++statusChanges;
        status = log;
        changes.push_back(change);
    }

    bool PromptOkCancel(const std::string& text, const VolumeRefusal& refusal) override
    {
        prompts.push_back(text);
        refusals.push_back(refusal);
        if (beforeAnswer)
            beforeAnswer(prompts.size());
        if (answers.empty())
            return false;
        const bool ok = answers.front();
        answers.pop_front();
        return ok;
    }
    void ReportError(const std::string& text) override { errors.push_back(text); }
    void PostUpdateFinished(const UpdateResult& r) override
    {
        result = r;
        finishedWithText = status.GetText();
        finished.store(true);
    }
    void OnRecordStreamWrite(uint32_t bytes) override { writes.push_back(bytes); }
    void OnSend(const SendLabel& label) override { labels.push_back(label); }
    void OnProgress(const UpdateProgress& p) override { progress.push_back(p); }
    uint32_t TransferTimeout() const override { return timeoutMs; }

    std::string Text() const { return status.GetText(); }

    UpdateSettings settings;
    Language language = Language::English;
    CEditText status;
    std::vector<LogChange> changes;
    std::vector<SendLabel> labels;
    std::deque<bool> answers;                       // true = OK; empty = Cancel
    std::function<void(size_t)> beforeAnswer;       // runs before a prompt is answered
    std::vector<std::string> prompts;
    std::vector<VolumeRefusal> refusals;            // what each prompt was told
    std::vector<std::string> errors;
    std::vector<uint32_t> writes;                   // sizes of the record-stream writes
    std::vector<UpdateProgress> progress;           // every progress value, in order
    std::atomic<bool> finished{false};
    std::string finishedWithText;
    UpdateResult result;
    int statusChanges = 0;
    uint32_t timeoutMs = 10000;
};

}  // namespace testsupport
