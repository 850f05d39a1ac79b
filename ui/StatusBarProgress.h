#pragma once

#include "resources/strings/Language.h"
#include "ui/ProgressState.h"
#include "update/UpdateProgress.h"

namespace zorflash {

// The status bar's state for one update, from where the engine says it stands: the texts
// of CProgressFigures (percent, 100 only after the last END; the volume of a two-volume
// file or the section of a two-section file; the rate and the time left), and at the end
// the outcome. The form's presenter feeds it and a view shows the ProgressState it answers.
class CStatusBarProgress {
public:
    enum class Outcome { Completed, Failed, Cancelled };

    explicit CStatusBarProgress(Language language);

    // Idle: "Ready", no bar.
    ProgressState Idle() const;
    // While an update runs: the bar, its percent and the figures.
    ProgressState Show(const UpdateProgress& progress);
    // The end: the outcome's words beside the bar's last value.
    ProgressState Finish(Outcome outcome);

private:
    Language m_language;
    ProgressState m_state;
};

}  // namespace zorflash
