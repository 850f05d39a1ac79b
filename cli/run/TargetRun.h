#pragma once

#include "cli/diagnose/LinkTrace.h"
#include "cli/output/FlashOutcome.h"
#include "cli/output/JsonEvents.h"
#include "cli/output/StatusLines.h"
#include "cli/output/TargetEnd.h"
#include "cli/prompt/PromptEnd.h"
#include "link/LinkObserver.h"
#include "platform/AbortSignal.h"
#include "platform/ConsoleInterrupt.h"
#include "present/LinkWatch.h"
#include "update/FileCheck.h"
#include "update/UpdateHost.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace zorflash {

class CChangeSignal;
class CRunConsole;
class CStatusFile;

// One target of `flash`, as its update job sees its form, and everything that target
// needs until its end is said: the status log as last told, the progress values, the
// disk prompt, the link as watched, the abort signal of this target alone, and at the
// end its status file, its trace, its JSON result and how it ended. The job calls it on
// the target's lane; the command's thread reads the progress and the wait while it runs,
// and the rest once the runner says it has ended. Whether the run has one target
// or several, each is one of these; only the console that draws them differs.
class CTargetRun : public CUpdateHost, private CLinkObserver {
public:
    struct Options {
        uint64_t totalBytes = 0;       // the pre-check's exact record stream bytes, 0 when it has none
        uint32_t timeoutMs = UpdateProtocol::kTransferTimeoutMs;
        uint32_t waitLimitMs = 0;      // --timeout given: it bounds every wait, 0 when not
        CJsonEvents* json = nullptr;   // the command's event stream
        bool namedEvents = false;      // this target's events name it (several targets)
        CLinkTrace* trace = nullptr;   // this target's own trace file, if one is written
        CChangeSignal* changes = nullptr;  // told of every new line and progress step
    };

    CTargetRun(std::string target, const UpdateSettings& settings, Language language, CRunConsole& console,
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
    // Made by Run and closed by Finish, so a target holds a descriptor for it only while
    // it runs; read on the lane, which does both.
    CAbortSignal* GetAbortSignal() override { return m_abort.get(); }
    CLinkObserver* GetLinkObserver() override { return this; }
    uint32_t TransferTimeout() const override { return m_options.timeoutMs; }
    uint32_t WaitLimit() const override { return m_options.waitLimitMs; }

    // The target's turn has come (with --parallel it may wait for one): its clock starts,
    // its abort signal is made, and its update runs on this thread. Whatever ends the
    // update, its link is closed as it unwinds and the log's last line is drawn.
    void Run();
    // Any thread: the target's transfer ends at once (Ctrl+C), or never begins.
    void Stop();
    // The job has ended: the line still in progress is drawn, the abort signal closed.
    void Finish();
    // The pre-check refused the file: this target ends as its update would have, with
    // `report`'s status text and no link opened.
    void Refuse(const CFileCheck::Report& report, const FlashOutcome& outcome);

    // The command's thread, once the runner says the target has ended or never will:
    // everything said and written about its end (row, reason, trace, status file, JSON
    // result). `interruption` is the signal the run received, if any.
    TargetEnd Conclude(bool started, CConsoleInterrupt::Reason interruption, CStatusFile* statusFile,
                       const CLocalText* givenReason);

    const std::string& Target() const { return m_target; }
    // The job's log as last told: the status box's text.
    std::string StatusText() const;
    // Where the run stands as shown (any thread); its seconds leave out the time the disk
    // prompt waited.
    UpdateProgress Progress() const;
    // On a terminal, the elapsed and allowed time of a wait of more than 2 s, since the
    // engine says nothing while it waits for the instrument; empty otherwise.
    std::string WaitNote() const;

private:
    void OnLinkBytes(Direction direction, const uint8_t* data, uint32_t length, Clock::time_point at) override;
    void OnLinkFailure(Direction direction, uint32_t code, Clock::duration waited, Clock::time_point at) override;
    void OnLinkOpened(uint32_t error, Clock::duration waited, Clock::time_point at) override;
    void OnUsbSearch(const std::vector<UsbInstrument>& asked) override;
    void NoteSign();
    void EndWithError(UpdateOutcome outcome, const CLocalText& reason);
    double Seconds() const;
    UpdateProgress ToldProgress() const;

    std::string m_target;
    UpdateSettings m_settings;
    Language m_language;
    CRunConsole& m_console;
    Options m_options;
    std::unique_ptr<CJsonEvents> m_json;
    // Told on the lane; read by Conclude once the runner's state for the target reads Finished.
    CLinkWatch m_watch;
    // The log is told on the lane and read by the command's thread.
    mutable std::mutex m_mutex;
    CStatusLines m_lines;
    UpdateProgress m_progress;
    // The line the engine last wrote before an interruption: the step the operator stopped.
    std::string m_step;
    // Written on the target's lane; read by the command's thread only once the runner's
    // state for it reads Finished: that atomic store and load order the two (the lane
    // itself goes on with the next target, so "after the thread ended" would be no reason).
    UpdateResult m_result;
    PromptEnd m_promptEnd = PromptEnd::RunGoesOn;
    PromptEnd m_notStartedBy = PromptEnd::RunGoesOn;
    std::optional<VolumeRefusal> m_prompted;  // the volume the last prompt asked for
    CLocalText m_failure;    // the reason, when it is not the one FailureReason finds
    std::string m_reported;  // the last file or memory error reported
    std::mutex m_abortMutex;  // Stop() comes from the command's thread
    std::unique_ptr<CAbortSignal> m_abort;
    bool m_stopped = false;
    std::atomic<bool> m_linkOpen{false};
    // Microseconds on the steady clock: the run's span, and when the link or the log last
    // moved; read by the command's thread.
    std::atomic<int64_t> m_startMicros{0};
    std::atomic<int64_t> m_endMicros{-1};
    std::atomic<int64_t> m_signMicros{0};
};

}  // namespace zorflash
