#pragma once

#include "platform/AbortSignal.h"
#include "platform/EditText.h"
#include "update/UpdateHost.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

// The form, as the engine sees it, for a terminal. The status box is a CEditText; every
// change is echoed as it happens: finished lines once each, and on a terminal the line in
// progress (the block count) rewritten in place with a progress bar behind it.
class CTerminalHost : public CUpdateHost {
public:
    struct Options {
        bool quiet = false;
        bool interactive = false;  // stdout is a terminal: rewrite the progress line in place
        uint64_t totalBytes = 0;   // record stream bytes of all volumes, for the bar
        uint32_t timeoutMs = 10000;
        uint32_t waitLimitMs = 0;  // --timeout given: it bounds every wait, 0 when not
        int promptInputFd = 0;     // where the disk prompt's answer is read
    };

    CTerminalHost(const UpdateSettings& settings, const Options& options, std::FILE* out, std::FILE* err);

    const UpdateSettings& Settings() const override { return m_settings; }
    int StatusGetTextLength() override { return m_status.GetTextLength(); }
    void StatusSetSel(int start, int end) override { m_status.SetSel(start, end); }
    void StatusScrollCaret() override {}
    void StatusReplaceSel(const std::string& text) override;
    int StatusLineFromChar(int charIndex) override { return m_status.LineFromChar(charIndex); }
    int StatusLineIndex(int line) override { return m_status.LineIndex(line); }
    void StatusSetText(const std::string& text) override;
    bool PromptOkCancel(const std::string& text) override;
    void ReportError(const std::string& text) override;
    void NoteVolumeUnavailable(const std::string& path, uint32_t error) override;
    void PostUpdateFinished() override;
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

    const std::string& StatusText() const { return m_status.GetText(); }
    bool Finished() const { return m_finished.load(); }
    bool ReportedError() const { return m_reportedError; }
    bool OperatorCancelled() const { return m_operatorCancelled; }
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
    CEditText m_status;
    CAbortSignal m_abort;
    size_t m_echoedUpTo = 0;       // bytes of the status text printed as finished lines
    bool m_lineShown = false;      // a line in progress is on the screen
    bool m_reportedError = false;
    bool m_operatorCancelled = false;
    int m_prompts = 0;
    std::string m_input;  // read from the answer input, not yet taken as a line
    std::string m_step;
    std::atomic<bool> m_finished{false};
    std::atomic<uint64_t> m_bytesSent{0};
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::time_point m_lastDraw;
};
