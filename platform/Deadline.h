#pragma once

#include <chrono>
#include <cstdint>

namespace zorflash {

// Every wait of the links ends at a deadline on the monotonic clock, so a wait that is
// resumed after an interruption still ends when it was meant to.

using DeadlineClock = std::chrono::steady_clock;

inline DeadlineClock::time_point DeadlineAfter(uint32_t timeoutMs)
{
    return DeadlineClock::now() + std::chrono::milliseconds(timeoutMs);
}

// Milliseconds left until the deadline, rounded up so that a wait never ends a little
// before it; 0 once it has passed, and never more than about 12 days (a poll's int).
inline int64_t MillisecondsLeft(DeadlineClock::time_point deadline)
{
    const auto now = DeadlineClock::now();
    if (now >= deadline)
        return 0;
    const int64_t left = std::chrono::duration_cast<std::chrono::milliseconds>(
                             deadline - now + std::chrono::milliseconds(1) - std::chrono::nanoseconds(1))
                             .count();
    return left < (int64_t{1} << 30) ? left : (int64_t{1} << 30);
}

}  // namespace zorflash
