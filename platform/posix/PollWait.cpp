#include "platform/posix/PollWait.h"

#include "platform/LastError.h"

#include <poll.h>

#include <cerrno>

namespace zorflash {

uint32_t PollWait(int fd, short events, int abortFd, PollClock::time_point deadline)
{
    for (;;) {
        pollfd fds[2] = {{fd, events, 0}, {abortFd, POLLIN, 0}};
        const int n = poll(fds, abortFd >= 0 ? 2 : 1, static_cast<int>(MillisecondsLeft(deadline)));
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
