#pragma once

#include "resources/strings/Language.h"
#include "ui/ProgressState.h"

#include <cstdint>

namespace zorflash {

// The status bar's figures for one update: percent of the record stream's bytes, the
// section of a two-section file, the rate and the time left, and at the end the outcome.
// It only works out texts and numbers; the form's presenter feeds it and a view shows
// the ProgressState it answers.
class CStatusBarProgress {
public:
    enum class Outcome { Completed, Failed, Cancelled };

    explicit CStatusBarProgress(Language language);

    // Idle: "Ready", no bar.
    ProgressState Idle() const;
    // An update starts: totalBytes of record stream over sections (1, or 2 for SUB).
    ProgressState Begin(uint64_t totalBytes, int sections);
    ProgressState Show(uint64_t sentBytes, int section, double elapsedSeconds);
    ProgressState Finish(Outcome outcome);

private:
    Language m_language;
    ProgressState m_state;
    uint64_t m_total = 0;
    int m_sections = 1;
};

}  // namespace zorflash
