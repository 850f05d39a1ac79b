#include "platform/BoundedRead.h"

#include "platform/LastError.h"
#include "platform/posix/PollWait.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace zorflash {

uint32_t ReadFileWithin(const std::string& path, std::size_t limit, uint32_t timeoutMs, std::string& text)
{
    text.clear();
    const auto deadline = DeadlineAfter(timeoutMs);
    // O_NONBLOCK: opening a FIFO for reading must not wait for its writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return static_cast<uint32_t>(errno);
    uint32_t result = 0;
    char buffer[16384];
    while (text.size() <= limit) {
        // A FIFO reads as ended while no writer has come yet, so a read is made only once
        // poll has seen data or a writer come and go.
        result = PollWait(fd, POLLIN, -1, deadline);
        if (result != 0)
            break;
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0)
            text.append(buffer, static_cast<std::size_t>(n));
        else if (n == 0)
            break;
        else if (errno != EINTR && errno != EAGAIN) {
            result = static_cast<uint32_t>(errno);
            break;
        }
    }
    ::close(fd);
    if (text.size() > limit + 1)
        text.resize(limit + 1);
    return result;
}

}  // namespace zorflash
