#pragma once

#include "update/FileCheck.h"
#include "cli/output/TargetEnd.h"
#include "cli/run/ChangeSignal.h"
#include "cli/run/FlashOptions.h"
#include "cli/run/TargetRun.h"

#include <memory>
#include <vector>

namespace zorflash {

class CJsonEvents;
class COutputQueue;
class CRunConsole;
class CTargetFiles;

// The targets of one `flash`, one or many, from their start to their ends: one CTargetRun
// each, on the lanes of a CFleetRunner, with the command's thread drawing through the
// console and concluding each target as soon as it ends. It waits on events (a target's
// end, a signal), not on a clock, so the command ends as its last target does.
class CFlashRun {
public:
    // `total`: the pre-check's exact record stream bytes, 0 when it has none.
    CFlashRun(const FlashOptions& options, CRunConsole& console, CTargetFiles& files, CJsonEvents* json,
              uint64_t total);

    // Runs every target; the command's exit code. Ends() is empty when the run could not
    // start (the reason is said): no instrument was contacted.
    int Run();
    // The pre-check refused the file: every target ends with the status text the update
    // would have written, and no instrument is contacted.
    int Refuse(const CFileCheck::Report& report);

    const std::vector<TargetEnd>& Ends() const { return m_ends; }

private:
    int Code(CConsoleInterrupt::Reason interruption, bool failedInside) const;

    const FlashOptions& m_options;
    CRunConsole& m_console;
    CTargetFiles& m_files;
    CChangeSignal m_changes;
    std::vector<std::unique_ptr<CTargetRun>> m_runs;
    std::vector<TargetEnd> m_ends;
    CLocalText m_noContact;  // how the command says that it contacted nothing
};

}  // namespace zorflash
