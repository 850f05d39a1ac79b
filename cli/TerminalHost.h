#pragma once

#include "platform/AbortSignal.h"
#include "update/UpdateHost.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace zorflash {

// The form, as the engine sees it, for a terminal. Every change of the job's log is echoed
// as it happens, on the worker thread: finished lines once each, and on a terminal the
// line in progress (the block count) rewritten in place with a progress bar behind it.
class CTerminalHost : public CUpdateHost {
public:
    struct Options {
        bool quiet = false;
        bool interactive = false;  // stdout is a terminal: rewrite the progress line in place
        uint64_t totalBytes = 0;   // record stream bytes of all volumes, for the bar
        uint32_t timeoutMs = UpdateProtocol::kTransferTimeoutMs;
        uint32_t waitLimitMs = 0;  // --timeout given: it bounds every wait, 0 when not
        Language language = Language::English;
    };

    CTerminalHost(const UpdateSettings& settings, const Options& options, std::FILE* out, std::FILE* err);

    const UpdateSettings& Settings() const override { return m_settings; }
    Language StatusLanguage() const override { return m_options.language; }
    void OnStatusLogChanged(const CEditText& log) override;
    bool PromptOkCancel(const std::string& text) override;
    void ReportError(const std::string& text) override;
    void NoteVolumeUnavailable(const std::string& path, uint32_t error) override;
    void PostUpdateFinished(const UpdateResult& result) override;
    void OnRecordStreamWrite(uint32_t bytes) override;
    CAbortSignal* GetAbortSignal() override { return &m_abort; }
    uint32_t TransferTimeout() const override { return m_options.timeoutMs; }
    uint32_t WaitLimit() const override { return m_options.waitLimitMs; }

    // A disk prompt answers Cancel by itself after this many prompts of one run: a flood of
    // answers (yes | ...) would otherwise make it repeat without end.
    static constexpr int kMaxPrompts = 100;
    // An answer line longer than this is no answer: it counts as Cancel.
    static constexpr size_t kMaxAnswerLength = 256;

    // Ends the echo: the line in progress is finished with a line end.
    void Finish();

    const std::string& StatusText() const { return m_status; }
    bool Finished() const { return m_finished.load(); }
    // The outcome posted with the update-finished notification; read after the worker
    // has been joined.
    const UpdateResult& Result() const { return m_result; }
    uint64_t BytesSent() const { return m_bytesSent.load(); }
    // The last line of the status text before the run was interrupted (read after the
    // worker has ended).
    const std::string& StepAtInterruption() const { return m_step; }
    CAbortSignal& Abort() { return m_abort; }

private:
    void Echo(bool force);
    bool ReadAnswer(std::string& answer);
    void NoteStep();
    std::string ProgressSuffix() const;

    UpdateSettings m_settings;
    Options m_options;
    std::FILE* m_out;
    std::FILE* m_err;
    std::string m_status;  // the job's log as last told
    CAbortSignal m_abort;
    size_t m_echoedUpTo = 0;       // bytes of the status text printed as finished lines
    bool m_lineShown = false;      // a line in progress is on the screen
    UpdateResult m_result;
    int m_prompts = 0;
    std::string m_input;  // read from the answer input, not yet taken as a line
    std::string m_step;
    std::atomic<bool> m_finished{false};
    std::atomic<uint64_t> m_bytesSent{0};
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::time_point m_lastDraw;
};

}  // namespace zorflash
