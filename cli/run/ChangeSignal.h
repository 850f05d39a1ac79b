#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace zorflash {

// What wakes the command's display: a target that ended, or a signal, at once; a new line or
// new progress no sooner than the next redraw is due. Any thread may notify; one waits.
class CChangeSignal {
public:
    using Clock = std::chrono::steady_clock;

    // urgent: a target ended or the run was interrupted; otherwise what is shown changed.
    void Notify(bool urgent);
    // Returns at once after an urgent notification, at `redraw` (or at once if it passed)
    // after any other, and at `latest` when nothing came; forgets what it returned for.
    void Wait(Clock::time_point redraw, Clock::time_point latest);

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_urgent = false;
    bool m_shown = false;
};

}  // namespace zorflash
