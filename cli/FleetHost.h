#pragma once

#include "cli/FleetConsole.h"
#include "platform/AbortSignal.h"
#include "update/UpdateHost.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

namespace zorflash {

// One target of a fleet command, as its update job sees its form: the status log as last
// told, the progress values, the prompt and the abort signal of this target alone. The
// job calls it on its worker thread; the display thread reads the current line and the
// counters.
class CFleetHost : public CUpdateHost {
public:
    CFleetHost(std::string target, const UpdateSettings& settings, Language language, CFleetConsole& console,
               uint64_t totalBytes, uint32_t timeoutMs, uint32_t waitLimitMs);

    const UpdateSettings& Settings() const override { return m_settings; }
    Language StatusLanguage() const override { return m_language; }
    void OnStatusLogChanged(const CEditText& log) override;
    bool PromptOkCancel(const std::string& text) override;
    void NoteVolumeUnavailable(const std::string& path, uint32_t error) override;
    void ReportError(const std::string& text) override;
    void PostUpdateFinished(const UpdateResult& result) override;
    void OnRecordStreamWrite(uint32_t bytes) override { m_bytesSent.fetch_add(bytes); }
    CAbortSignal* GetAbortSignal() override { return &m_abort; }
    uint32_t TransferTimeout() const override { return m_timeoutMs; }
    uint32_t WaitLimit() const override { return m_waitLimitMs; }

    // The target's turn has come (with --parallel it may wait for one): its clock starts.
    void Begin();
    // Prints the line still in progress, once the job has ended.
    void Finish();

    const std::string& Target() const { return m_target; }
    // The line the log is on now, for the progress block.
    std::string CurrentLine() const;
    std::string StatusText() const;
    // The outcome posted at the end; read once the target's thread has finished.
    const UpdateResult& Result() const { return m_result; }
    uint64_t BytesSent() const { return m_bytesSent.load(); }
    uint64_t TotalBytes() const { return m_totalBytes; }
    double Seconds() const;
    CAbortSignal& Abort() { return m_abort; }

private:
    void EchoFinishedLines();  // with m_mutex held

    std::string m_target;
    UpdateSettings m_settings;
    Language m_language;
    CFleetConsole& m_console;
    uint64_t m_totalBytes;
    uint32_t m_timeoutMs;
    uint32_t m_waitLimitMs;
    // The log is told on the worker thread and read by the display thread.
    mutable std::mutex m_mutex;
    std::string m_status;
    std::size_t m_printedUpTo = 0;  // the log is shown line by line up to here
    std::string m_lastLine;          // the last line shown
    bool m_lineReplaced = false;     // the line in progress was written over in place
    UpdateResult m_result;
    CAbortSignal m_abort;
    std::atomic<uint64_t> m_bytesSent{0};
    // Microseconds on the steady clock, read by the display thread.
    std::atomic<int64_t> m_startMicros{0};
    std::atomic<int64_t> m_endMicros{-1};
};

}  // namespace zorflash
