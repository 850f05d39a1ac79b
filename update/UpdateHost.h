#pragma once

#include "update/UpdateSettings.h"

#include <cstdint>
#include <string>

class CAbortSignal;

// The main form, as the update engine sees it. The desktop form and the CLI each
// implement it. Every call comes from the update worker thread. The requests that change
// the status text, and the prompt, return only after the front end has carried them out
// (the GUI does them on its window thread while the worker waits), so the log always
// reads as written; the reads and the selection may be answered from the front end's own
// copy of the text, which only changes while the worker waits.
class CUpdateHost {
public:
    virtual ~CUpdateHost() = default;

    // The settings of this update. Read without a lock, at several points of a run: the
    // front end keeps them unchanged until UpdateFinished.
    virtual const UpdateSettings& Settings() const = 0;

    // Status box requests, with the meaning of a multi-line edit control (CEditText).
    virtual int StatusGetTextLength() = 0;
    virtual void StatusSetSel(int start, int end) = 0;
    virtual void StatusScrollCaret() = 0;
    virtual void StatusReplaceSel(const std::string& text) = 0;
    virtual int StatusLineFromChar(int charIndex) = 0;
    virtual int StatusLineIndex(int line) = 0;
    virtual void StatusSetText(const std::string& text) = 0;

    // OK/Cancel question with the information icon and no caption (the disk prompt).
    // True for OK.
    virtual bool PromptOkCancel(const std::string& text) = 0;
    // Why a volume could not be opened (errno value), just before the disk prompt asks for
    // it: the prompt alone cannot tell a missing disk from a file the operator may not read.
    // Must not wait; a missing file (ENOENT) is the ordinary case and is not told.
    virtual void NoteVolumeUnavailable(const std::string& path, uint32_t error)
    {
        (void)path;
        (void)error;
    }
    // A caught file or memory error, in the operator's words; waits until acknowledged.
    virtual void ReportError(const std::string& text) = 0;
    // Posted when the update has ended, whatever its outcome (message 1125). Must not wait.
    virtual void PostUpdateFinished() = 0;

    // Values for progress displays, never text: called after every successful write of the
    // record stream (records, blocks and END bytes) with that write's size. Must not block.
    virtual void OnRecordStreamWrite(uint32_t bytes) { (void)bytes; }
    // An abort signal the front end may trigger to interrupt a blocked transfer; null if
    // the front end never interrupts (the desktop form refuses to close mid-update).
    virtual CAbortSignal* GetAbortSignal() { return nullptr; }
    // Time-out of every send and receive of the run (ms); the protocol's own is 10000.
    virtual uint32_t TransferTimeout() const { return 10000; }
    // An upper bound for every other wait of the run (connect, link commands, USB
    // identification), in ms; 0 leaves them at their own values.
    virtual uint32_t WaitLimit() const { return 0; }
};

constexpr unsigned WM_UPDATE_FINISHED = 0x400 + 101;  // 1125
