#pragma once

#include "resources/strings/Language.h"
#include "ui/ProgressState.h"
#include "update/UpdateProgress.h"

#include <string>
#include <vector>

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
    // Idle with a word on the chosen file (no bar): an empty note is Idle().
    ProgressState Note(const std::string& note) const;
    // While an update runs: the bar, its percent and the figures; while the operator is
    // asked for a volume, promptNote (the file it looks for) before the figures.
    ProgressState Show(const UpdateProgress& progress, const std::string& promptNote = std::string());
    // The end: the outcome's words beside the bar's last value, then each non-empty
    // sentence of `why` (the reason, what the instrument now holds, the next step); the
    // tool tip has them one to a line.
    ProgressState Finish(Outcome outcome, const std::vector<std::string>& why = {});

private:
    Language m_language;
    ProgressState m_state;
};

}  // namespace zorflash
