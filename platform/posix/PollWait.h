#pragma once

#include "platform/Deadline.h"

#include <cstdint>

namespace zorflash {

// POSIX only: the one bounded wait of the POSIX socket and device code. Every wait of a
// TCP connect, send or receive and of a USB device read or write goes through here, so
// each is bounded by its time-out and ends at once when the abort signal's descriptor
// becomes readable.

using PollClock = DeadlineClock;

// Waits until fd reports one of events (or an error or hang-up, which the following
// system call then names), the deadline passes or abortFd (-1: none) becomes readable.
// Answers 0 when fd is ready, 258 (kErrorTimeout) at the deadline, ECANCELED when
// aborted, or the errno of a failed poll.
uint32_t PollWait(int fd, short events, int abortFd, PollClock::time_point deadline);

}  // namespace zorflash
