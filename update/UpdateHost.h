#pragma once

#include "resources/strings/Language.h"
#include "update/LogChange.h"
#include "update/SendLabel.h"
#include "update/UpdateProgress.h"
#include "update/UpdateProtocol.h"
#include "update/UpdateResult.h"
#include "update/UpdateSettings.h"
#include "update/VolumeRefusal.h"

#include <cstdint>
#include <string>

namespace zorflash {

class CAbortSignal;
class CEditText;
class CLinkObserver;

// The front end of one update, as the engine sees it: the desktop form and the CLI each
// implement it. Every call comes from the update worker thread. Only the two calls where a
// person must answer (the disk prompt, the error report) wait; everything else is a
// notification that must return at once, so the worker never waits for a window.
class CUpdateHost {
public:
    virtual ~CUpdateHost() = default;

    // The settings of this update, read at several points of a run without a lock: the
    // front end hands out a record that nothing changes until UpdateFinished.
    virtual const UpdateSettings& Settings() const = 0;
    // The language of the run's status text and prompts.
    virtual Language StatusLanguage() const = 0;

    // The job's status log changed (text and caret), and how. The log belongs to the job;
    // a front end that keeps the text must copy it here. Must not block.
    virtual void OnStatusLogChanged(const CEditText& log, const LogChange& change) = 0;

    // OK/Cancel question with the information icon and no caption (the disk prompt), with
    // what the record stream found in place of the volume it asks for. True for OK. Waits
    // for the operator.
    virtual bool PromptOkCancel(const std::string& text, const VolumeRefusal& refusal) = 0;
    // A volume that exists could not be opened (the refusal's system error), told just before
    // the disk prompt asks for it, so a front end can say so once even where nobody is
    // asked. Must not wait; a missing file is the ordinary case and is not told.
    virtual void NoteVolumeUnavailable(const VolumeRefusal& refusal) { (void)refusal; }
    // A caught file or memory error, in the operator's words; waits until acknowledged.
    virtual void ReportError(const std::string& text) = 0;
    // The update has ended, whatever its outcome (message 1125), with that outcome. The
    // log is final by now. Must not wait.
    virtual void PostUpdateFinished(const UpdateResult& result) = 0;

    // What the next write of the run carries, just before it goes out (every write: the
    // handshake's too). Must not block.
    virtual void OnSend(const SendLabel& label) { (void)label; }
    // Values for progress displays, never text: called after every successful write of the
    // record stream (records, blocks and END bytes) with that write's size. Must not block.
    virtual void OnRecordStreamWrite(uint32_t bytes) { (void)bytes; }
    // Where the update stands, after every record stream write and whenever the total, the
    // section or the volume changes, and around every wait for the operator. Must not block.
    virtual void OnProgress(const UpdateProgress& progress) { (void)progress; }
    // An abort signal the front end may trigger to interrupt a blocked transfer; null if
    // the front end never interrupts (the desktop form refuses to close mid-update).
    virtual CAbortSignal* GetAbortSignal() { return nullptr; }
    // Told of every byte the run's link moves (a trace, the reason of a failure); null if
    // the front end does not watch. Called on the worker thread; must not block.
    virtual CLinkObserver* GetLinkObserver() { return nullptr; }
    // Time-out of every send and receive of the run (ms).
    virtual uint32_t TransferTimeout() const { return UpdateProtocol::kTransferTimeoutMs; }
    // An upper bound for every other wait of the run (connect, link commands, USB
    // identification), in ms; 0 leaves them at their own values.
    virtual uint32_t WaitLimit() const { return 0; }
};

constexpr unsigned WM_UPDATE_FINISHED = 0x400 + 101;  // 1125

}  // namespace zorflash
