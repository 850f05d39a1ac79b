#pragma once

#include "cli/diagnose/LinkTrace.h"
#include "cli/run/FlashOptions.h"
#include "platform/StatusFile.h"

#include <memory>
#include <string>
#include <vector>

namespace zorflash {

class COutputQueue;

// The files a flash command writes beside its instruments: each target's status file and
// trace, every one checked before any instrument is contacted (afterwards it would be
// too late to keep an update file from being written over, or a FIFO from blocking the
// end of the run). With one target the names are used as given, with several each is the
// pattern filled in with the target's name.
class CTargetFiles {
public:
    // False, with the line to say in `error`, when one cannot be used or two outputs are
    // one file: the text renamed over it at the end would leave nothing of the other.
    bool Open(const FlashOptions& options, COutputQueue& output, std::string& error);
    // Null when no status file was asked for.
    CStatusFile* Status(std::size_t target) { return m_status.empty() ? nullptr : &m_status[target]; }
    // Closed (IsOpen false) when no trace was asked for.
    CLinkTrace& Trace(std::size_t target) { return *m_traces[target]; }

private:
    std::vector<CStatusFile> m_status;
    std::vector<std::unique_ptr<CLinkTrace>> m_traces;
};

}  // namespace zorflash
