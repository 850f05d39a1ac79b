#include "platform/PollWait.h"

#include "platform/LastError.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>

namespace zorflash {

uint32_t PollWait(int fd, short events, int abortFd, PollClock::time_point deadline)
{
    using std::chrono::duration_cast;
    using std::chrono::milliseconds;
    for (;;) {
        const auto now = PollClock::now();
        // Rounded up, so that a wait never ends a little before its deadline.
        const int64_t left = now >= deadline ? 0 : duration_cast<milliseconds>(deadline - now + milliseconds(1) -
                                                                          std::chrono::nanoseconds(1)).count();
        pollfd fds[2] = {{fd, events, 0}, {abortFd, POLLIN, 0}};
        const int n = poll(fds, abortFd >= 0 ? 2 : 1, static_cast<int>(std::min<int64_t>(left, 1 << 30)));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return static_cast<uint32_t>(errno);
        }
        if (abortFd >= 0 && (fds[1].revents & POLLIN))
            return ECANCELED;
        if (fds[0].revents != 0)
            return 0;
        if (PollClock::now() >= deadline)
            return kErrorTimeout;
    }
}

}  // namespace zorflash
