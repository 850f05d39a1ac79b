#include "platform/DescriptorLimit.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>

#include <cstdlib>
#include <memory>

namespace zorflash {

namespace {
// Beyond this many the count is not worth making: no fleet comes near it.
constexpr rlim_t kPlenty = 65536;

// The descriptors open now below `limit`, from the kernel's list of them; false where
// there is none (no /proc) or it cannot be opened, for want of the very descriptor it
// would take. One numbered at or above the limit (inherited from a parent with a higher
// one) takes no place a new descriptor could have.
bool CountFromProc(rlim_t limit, std::size_t& open)
{
    const std::unique_ptr<DIR, int (*)(DIR*)> list(opendir("/proc/self/fd"), closedir);
    if (!list)
        return false;
    const int own = dirfd(list.get());
    std::size_t count = 0;
    while (const dirent* entry = readdir(list.get())) {
        char* end = nullptr;
        const unsigned long fd = std::strtoul(entry->d_name, &end, 10);
        if (entry->d_name[0] != '.' && *end == '\0' && fd < limit && static_cast<int>(fd) != own)
            ++count;
    }
    open = count;
    return true;
}
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
    if (!CountFromProc(current.rlim_cur, open)) {
        // One call per possible descriptor: 20,000 system calls for a limit of 20,000, tens
        // of milliseconds on a busy machine before the first target may start.
        for (int fd = 0; static_cast<rlim_t>(fd) < current.rlim_cur; ++fd)
            if (fcntl(fd, F_GETFD) != -1)
                ++open;
    }
    limit = static_cast<std::size_t>(current.rlim_cur);
    free = limit > open ? limit - open : 0;
    return true;
}

}  // namespace zorflash
