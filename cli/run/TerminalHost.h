#pragma once

#include "cli/output/PipeProgress.h"
#include "cli/prompt/AnswerInput.h"
#include "cli/prompt/PromptEnd.h"
#include "link/LinkObserver.h"
#include "present/OutcomeTable.h"
#include "platform/AbortSignal.h"
#include "update/UpdateHost.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

namespace zorflash {

class CJsonEvents;
class CLinkWatch;
class COutputQueue;

// The form, as the engine sees it, for a terminal or a script. Every change of the job's
// log is rendered as it happens: to a terminal or a pipe as lines
// (finished lines once each, and on a terminal the line in progress redrawn in place with
// a progress bar fitted to the width), or with --json as one event per change. Every line
// goes through the command's output queue: the worker never waits on the terminal or pipe.
// It sees the link's events before the watch does, only to know when the link last moved.
class CTerminalHost : public CUpdateHost, private CLinkObserver {
public:
    struct Options {
        bool quiet = false;
        bool interactive = false;  // stdout is a terminal: rewrite the progress line in place
        bool colour = false;       // failure lines red, success green (a terminal, NO_COLOR unset)
        bool noPrompt = false;     // a disk prompt fails at once
        uint64_t totalBytes = 0;   // the pre-check's exact record stream bytes, 0 when it has none
        uint32_t timeoutMs = UpdateProtocol::kTransferTimeoutMs;
        uint32_t waitLimitMs = 0;  // --timeout given: it bounds every wait, 0 when not
        CJsonEvents* json = nullptr;  // events instead of text on stdout
        CLinkWatch* watch = nullptr;  // told of the link's bytes and of record stream writes
        Language language = Language::English;
    };

    // How the last disk prompt ended, when it did not end with OK.
    using PromptEnd = zorflash::PromptEnd;

    CTerminalHost(const UpdateSettings& settings, const Options& options, COutputQueue& output, std::FILE* out,
                  std::FILE* err);

    const UpdateSettings& Settings() const override { return m_settings; }
    Language StatusLanguage() const override { return m_options.language; }
    void OnStatusLogChanged(const CEditText& log, const LogChange& change) override;
    bool PromptOkCancel(const std::string& text, const VolumeRefusal& refusal) override;
    void ReportError(const std::string& text) override;
    void NoteVolumeUnavailable(const VolumeRefusal& refusal) override;
    void PostUpdateFinished(const UpdateResult& result) override;
    void OnRecordStreamWrite(uint32_t bytes) override;
    void OnSend(const SendLabel& label) override;
    void OnProgress(const UpdateProgress& progress) override;
    CAbortSignal* GetAbortSignal() override { return &m_abort; }
    CLinkObserver* GetLinkObserver() override;
    uint32_t TransferTimeout() const override { return m_options.timeoutMs; }
    uint32_t WaitLimit() const override { return m_options.waitLimitMs; }

    // Ends the echo: the line in progress is finished with a line end.
    void Finish();
    // Waits up to `limit` for the update to post its end; true once it has. On a terminal,
    // a wait of the run's longer than 2 s meanwhile shows its elapsed and allowed time on
    // the live line, since the engine says nothing while it waits for the instrument.
    bool AwaitFinish(std::chrono::milliseconds limit);

    const std::string& StatusText() const { return m_status; }
    bool Finished() const { return m_finished.load(); }
    bool ReportedError() const { return m_reportedError; }
    // The text of the last file or memory error reported (read after the worker has ended).
    const std::string& Reported() const { return m_reported; }
    PromptEnd LastPromptEnd() const { return m_promptEnd; }
    // The volume could not be opened for want of a resource (PromptEnd::ResourceShortage):
    // the reason, with the system's text.
    const std::string& Shortage() const { return m_shortage; }
    // The outcome posted with the update-finished notification; read after the worker
    // has been joined.
    const UpdateResult& Result() const { return m_result; }
    uint64_t BytesSent() const { return m_bytesSent.load(); }
    double Seconds() const;
    // Where the run stands as shown (read on the worker thread, or after it has ended):
    // its seconds leave out the time the disk prompt waited.
    UpdateProgress Progress() const;
    // The last line of the status text before the run was interrupted (read after the
    // worker has ended).
    const std::string& StepAtInterruption() const { return m_step; }
    CAbortSignal& Abort() { return m_abort; }

private:
    void OnLinkBytes(Direction direction, const uint8_t* data, uint32_t length, Clock::time_point at) override;
    void OnLinkFailure(Direction direction, uint32_t code, Clock::duration waited, Clock::time_point at) override;
    void OnLinkOpened(uint32_t error, Clock::duration waited, Clock::time_point at) override;
    void OnUsbSearch(const std::vector<UsbInstrument>& asked) override;
    void NoteSign() { m_lastSign.store(Clock::now().time_since_epoch().count()); }
    std::string WaitNote() const;
    void DrawLive(const std::string& note);

    void Echo(bool force);
    void PrintFinished(const std::string& line, bool progress, bool ending);
    int Columns();
    void NoteStep(const std::string& changed);

    void Out(std::string text);
    void Err(std::string text);

    UpdateSettings m_settings;
    Options m_options;
    COutputQueue& m_output;
    std::FILE* m_out;
    std::FILE* m_err;
    std::string m_status;  // the job's log as last told
    CAbortSignal m_abort;
    size_t m_echoedUpTo = 0;       // bytes of the status text printed as finished lines
    bool m_lineShown = false;      // a line in progress is on the screen
    std::vector<size_t> m_breaks;  // where an appended message continues a progress text
    size_t m_endingLine = std::string::npos;  // where the message telling the outcome starts
    OutcomeColour m_endingColour = OutcomeColour::None;
    bool m_reportedError = false;
    std::string m_reported;  // worker thread, read after it has ended
    PromptEnd m_promptEnd = PromptEnd::RunGoesOn;
    std::string m_shortage;  // why the last volume could not be opened, when no disk can help
    UpdateResult m_result;
    CAnswerInput m_answers;    // an overlong line counts as Cancel, the end of input as nobody there
    std::string m_step;
    std::atomic<bool> m_finished{false};
    std::atomic<uint64_t> m_bytesSent{0};
    UpdateProgress m_progress;          // worker thread, read after it has been joined
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::time_point m_lastDraw;
    CPipeProgress m_pipeProgress;
    // The terminal's live line is drawn by the worker and, during a long wait, by the
    // command's thread: this lock keeps the two from interleaving.
    std::mutex m_drawLock;
    std::condition_variable m_finishedChanged;
    bool m_waitShown = false;  // the live line carries the wait note
    bool m_prompting = false;  // the disk prompt owns the terminal
    std::atomic<Clock::rep> m_lastSign{0};  // the link or the log last moved
    std::atomic<bool> m_linkOpen{false};
};

}  // namespace zorflash
