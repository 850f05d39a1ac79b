#pragma once

#include <chrono>
#include <cstdint>

class CAbortSignal;

// The one bounded wait of the TCP channel: every wait of a connect, send or receive goes
// through here, so each is bounded by its time-out and ends at once when the abort signal
// is triggered.

using PollClock = std::chrono::steady_clock;

inline PollClock::time_point DeadlineAfter(uint32_t timeoutMs)
{
    return PollClock::now() + std::chrono::milliseconds(timeoutMs);
}

// Waits until fd reports one of events (or an error or hang-up, which the following
// system call then names), the deadline passes or abort is triggered. Answers 0 when fd
// is ready, 258 (kErrorTimeout) at the deadline, ECANCELED when aborted, or the errno of
// a failed poll. An abort signal without a descriptor is checked every 50 ms.
uint32_t PollWait(int fd, short events, const CAbortSignal* abort, PollClock::time_point deadline);
