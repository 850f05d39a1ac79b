#include "platform/EmptyFile.h"

#include "platform/LastError.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace zorflash {

bool CreateEmptyFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0666);
    int error = fd < 0 ? errno : 0;
    if (fd >= 0 && ::close(fd) != 0)
        error = errno;
    SetLastError(static_cast<uint32_t>(error));
    return error == 0;
}

}  // namespace zorflash
