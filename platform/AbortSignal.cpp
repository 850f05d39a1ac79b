#include "platform/AbortSignal.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace zorflash {

CAbortSignal::CAbortSignal()
    : m_fd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
}

CAbortSignal::~CAbortSignal()
{
    if (m_fd >= 0)
        close(m_fd);
}

void CAbortSignal::Trigger()
{
    m_triggered.store(true);
    if (m_fd >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t n = write(m_fd, &one, sizeof one);
    }
}

bool CAbortSignal::IsTriggered() const
{
    return m_triggered.load();
}

}  // namespace zorflash
