#pragma once

#include "update/UpdateResult.h"

#include <cstdint>

namespace zorflash {

// Where an update stands, as values a progress display reads: the engine hands a copy to
// its host whenever one of them changes. The figures a display derives (percent, rate,
// time left) are worked out here, so the terminal line, the fleet block, the JSON events
// and the desktop's status bar and title cannot disagree.
//
// An operator may switch the instrument off once a display says 100 %, so it says so only
// after the last END; and a volume that was not there when the run began has no size yet,
// so while it is asked for the total holds only what is known and no time left is given.
struct UpdateProgress {
    uint64_t bytes = 0;      // record stream bytes written to the link, END bytes included
    uint64_t total = 0;      // record stream bytes of every volume known now; bytes once done
    int section = 0;         // the section being sent, from 1; 0 before the first START
    int sections = 1;        // 2 for a SUB file
    int volume = 1;          // the volume being read, or asked for
    int volumes = 1;         // volumes known: 2 once volume 2 is found or asked for
    bool waiting = false;    // the operator is being asked for `volume`
    bool finished = false;   // the last END has gone out
    UpdateStep step = UpdateStep::OpeningFile;
    double seconds = 0;      // since the run began, less the time the operator was asked

    // 0..99 until the last END, 100 after it.
    int Percent() const;
    // Bytes a second over `seconds`: waiting for the operator does not lower it.
    double Rate() const;
    // Seconds still to go at the current rate; negative when that cannot be known (the
    // operator is being asked, nothing has been sent yet, or the rest lies in a volume
    // whose size is not known).
    double SecondsLeft() const;
    // Another volume, section, total or the start or end of a wait: what a reader of the
    // events must hear at once rather than at the next periodic report.
    bool NewStageSince(const UpdateProgress& last) const;
};

}  // namespace zorflash
