#pragma once

#include "cli/output/FleetConsole.h"
#include "cli/run/FlashOutcome.h"
#include "cli/output/JsonEvents.h"
#include "cli/diagnose/LinkWatch.h"
#include "cli/prompt/PromptEnd.h"
#include "platform/AbortSignal.h"
#include "update/UpdateHost.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace zorflash {

class CChangeSignal;

// One target of a fleet command, as its update job sees its form: the status log as last
// told, the progress values, the prompt, the link as watched and the abort signal of this
// target alone. The job calls it on its worker thread; the display thread reads the
// current line and the counters, and reads the rest once the target's thread has ended.
class CFleetHost : public CUpdateHost {
public:
    struct Options {
        uint64_t totalBytes = 0;       // the pre-check's exact record stream bytes, 0 when it has none
        uint32_t timeoutMs = UpdateProtocol::kTransferTimeoutMs;
        uint32_t waitLimitMs = 0;      // --timeout given: it bounds every wait, 0 when not
        CJsonEvents* json = nullptr;   // the command's event stream; this target's events name it
        CLinkTrace* trace = nullptr;   // this target's own trace file
        CChangeSignal* changes = nullptr;  // told of every new line and progress step
    };

    CFleetHost(std::string target, const UpdateSettings& settings, Language language, CFleetConsole& console,
               const Options& options);

    const UpdateSettings& Settings() const override { return m_settings; }
    Language StatusLanguage() const override { return m_language; }
    void OnStatusLogChanged(const CEditText& log, const LogChange& change) override;
    bool PromptOkCancel(const std::string& text, const VolumeRefusal& refusal) override;
    void NoteVolumeUnavailable(const VolumeRefusal& refusal) override;
    void ReportError(const std::string& text) override;
    void PostUpdateFinished(const UpdateResult& result) override;
    void OnRecordStreamWrite(uint32_t bytes) override;
    void OnSend(const SendLabel& label) override;
    void OnProgress(const UpdateProgress& progress) override;
    // Made by Begin and closed by Finish, so a target holds a descriptor for it only while
    // it runs; read on the worker thread, which does both.
    CAbortSignal* GetAbortSignal() override { return m_abort.get(); }
    CLinkObserver* GetLinkObserver() override { return &m_watch; }
    uint32_t TransferTimeout() const override { return m_options.timeoutMs; }
    uint32_t WaitLimit() const override { return m_options.waitLimitMs; }

    // The target's turn has come (with --parallel it may wait for one): its clock starts
    // and its abort signal is made.
    void Begin();
    // Prints the line still in progress, once the job has ended.
    void Finish();
    // Any thread: the target's transfer ends at once (Ctrl+C), or never begins.
    void Stop();
    // The update ended by an exception, not by the job: the link was closed as it unwound.
    void EndWithError(UpdateOutcome outcome, const std::string& reason);
    // Never started, because the disk prompt had been ended for good by `answer` (Cancel,
    // nobody there) about `refusal`: it ends as that answer would have ended it, with no
    // link opened.
    void EndNotStarted(PromptEnd answer, const std::optional<VolumeRefusal>& refusal);
    // The answer EndNotStarted was given, PromptEnd::RunGoesOn otherwise.
    PromptEnd NotStartedBy() const { return m_notStartedBy; }
    // The pre-check refused the file: this target ends as its update would have, with no
    // link opened; `missing` is the volume nobody is asked for, if that was the problem.
    void EndWithoutContact(const FlashOutcome& outcome, const std::optional<VolumeRefusal>& missing);

    const std::string& Target() const { return m_target; }
    // The line the log is on now, for the progress block.
    std::string CurrentLine() const;
    std::string StatusText() const;
    // Read once the target's thread has finished: the outcome posted at the end, as for one
    // instrument, and why it failed in the operator's terms (empty when nothing to add).
    const UpdateResult& Result() const { return m_result; }
    FlashOutcome Outcome() const { return OutcomeOfRun(m_result, m_promptEnd); }
    std::string Reason() const;
    // A link to the instrument was opened (a refused connection is no contact).
    bool Contacted() const { return m_watch.Opened(); }
    uint64_t BytesSent() const { return m_bytesSent.load(); }
    // Where the run stands as shown, for the block (any thread); its seconds leave out the
    // time the disk prompt waited.
    UpdateProgress Progress() const;
    double Seconds() const;
    CJsonEvents* Json() { return m_json.get(); }

private:
    void EchoFinishedLines();  // with m_mutex held
    UpdateProgress ToldProgress() const;

    std::string m_target;
    UpdateSettings m_settings;
    Language m_language;
    CFleetConsole& m_console;
    Options m_options;
    std::unique_ptr<CJsonEvents> m_json;
    CLinkWatch m_watch;
    // The log is told on the worker thread and read by the display thread.
    mutable std::mutex m_mutex;
    std::string m_status;
    std::size_t m_printedUpTo = 0;  // the log is shown line by line up to here
    std::string m_lastLine;          // the last line shown
    // Written on the target's lane; read by the display thread only once the runner's
    // state for it reads Finished: that atomic store and load order the two (the lane
    // itself goes on with the next target, so "after the thread ended" would be no reason).
    UpdateResult m_result;
    PromptEnd m_promptEnd = PromptEnd::RunGoesOn;
    PromptEnd m_notStartedBy = PromptEnd::RunGoesOn;
    std::optional<VolumeRefusal> m_prompted;
    std::string m_failure;   // the reason, when it is not the one FailureReason finds
    std::string m_reported;  // the last file or memory error reported
    UpdateProgress m_progress;  // told on the worker thread, read by the display thread: m_mutex
    std::mutex m_abortMutex;    // Stop() comes from the display thread
    std::unique_ptr<CAbortSignal> m_abort;
    bool m_stopped = false;
    std::atomic<uint64_t> m_bytesSent{0};
    // Microseconds on the steady clock, read by the display thread.
    std::atomic<int64_t> m_startMicros{0};
    std::atomic<int64_t> m_endMicros{-1};
};

}  // namespace zorflash
