#pragma once

#include "resources/strings/Language.h"
#include "update/FileCheck.h"
#include "update/UpdateSettings.h"

#include <cstdint>

namespace zorflash {

class CJsonEvents;
class COutputQueue;

// The pre-check of `flash`: the whole file read once, before any instrument is contacted,
// whatever the number of targets; with --json its verdict is the "check" event.
class CPreCheck {
public:
    // `noPrompt`: nobody will be asked for a volume that is not there yet. A volume that
    // will be asked for is announced on stderr through `notices` (null: not announced), and
    // in the "check" event, before any instrument is contacted.
    CPreCheck(const UpdateSettings& settings, Language language, bool noPrompt, CJsonEvents* json,
              COutputQueue* notices = nullptr);

    const CFileCheck::Report& Report() const { return m_report; }
    // The run must not start: a problem the update would end with, or a volume nobody
    // will be asked for.
    bool Refused() const { return !m_report.complete && !m_leftToPrompt; }
    // The record stream's bytes when the whole file was read, else `otherwise`.
    uint64_t TotalBytes(uint64_t otherwise) const { return m_report.complete ? m_report.Bytes() : otherwise; }

private:
    CFileCheck::Report m_report;
    bool m_leftToPrompt = false;
};

}  // namespace zorflash
