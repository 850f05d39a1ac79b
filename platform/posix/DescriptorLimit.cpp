#include "platform/DescriptorLimit.h"

#include <fcntl.h>
#include <sys/resource.h>

namespace zorflash {

namespace {
// Beyond this many the count is not worth making: no fleet comes near it.
constexpr rlim_t kPlenty = 65536;
}  // namespace

void RaiseDescriptorLimit()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == limit.rlim_max)
        return;
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
}

bool FreeDescriptors(std::size_t& free, std::size_t& limit)
{
    rlimit current{};
    if (getrlimit(RLIMIT_NOFILE, &current) != 0 || current.rlim_cur == RLIM_INFINITY || current.rlim_cur >= kPlenty)
        return false;
    std::size_t open = 0;
    for (int fd = 0; static_cast<rlim_t>(fd) < current.rlim_cur; ++fd)
        if (fcntl(fd, F_GETFD) != -1)
            ++open;
    limit = static_cast<std::size_t>(current.rlim_cur);
    free = limit > open ? limit - open : 0;
    return true;
}

}  // namespace zorflash
