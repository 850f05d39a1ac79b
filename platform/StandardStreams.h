#pragma once

// Puts the null device on each of the standard streams 0, 1 and 2 that was handed to us
// closed. Called first thing in main, before anything opens a descriptor: otherwise the
// next open takes the free number, and a socket that became descriptor 2 would carry our
// error text to the instrument, an eventfd that became descriptor 0 would be read as the
// operator's answer. Header-only on POSIX, for the simulator, which links nothing of the
// engine; on Windows (platform/win32/StandardStreams.cpp) a program started without
// standard handles gets NUL in their place.

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace zorflash {

#ifdef _WIN32
void ReserveStandardStreams();
#else
inline void ReserveStandardStreams()
{
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1)
            continue;
        const int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened < 0)
            _exit(125);  // not even /dev/null: there is no way to say anything safely
        if (opened != fd) {
            dup2(opened, fd);
            close(opened);
        }
    }
}
#endif

}  // namespace zorflash
