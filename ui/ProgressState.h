#pragma once

#include <string>

namespace zorflash {

// What the status bar shows of an update, worked out by the form's presenter; a view only
// puts it on the screen. Idle it shows the framework's prompt ("Ready") and no bar; while
// an update runs the bar with its percent, the section of a two-section file, and the
// figures (sent/total, rate, time left), or while the disk prompt asks, the file it looks
// for; at the end the outcome's words beside the bar's last value, and for a failure why
// and what to do next. A word on a newly chosen file replaces the last outcome.
struct ProgressState {
    bool barShown = false;
    int barPercent = 0;          // 0..100
    bool sectionShown = false;
    std::string sectionText;     // "Section 2/2"
    std::string figuresText;     // "1.2 MiB/3.0 MiB, 410.0 KiB/s, 00:04 left", "Ready", "Update completed."
    int titlePercent = -1;       // 0..100 while an update runs, -1 otherwise: the window title carries it
    // The figures' whole story, one sentence a line, for a status bar too narrow to show
    // it; empty when the line says all.
    std::string toolTip;
};

}  // namespace zorflash
