#include "platform/AbortSignal.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace zorflash {

CAbortSignal::CAbortSignal()
    : m_handle(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
}

CAbortSignal::~CAbortSignal()
{
    if (m_handle >= 0)
        close(static_cast<int>(m_handle));
}

void CAbortSignal::Trigger()
{
    m_triggered.store(true);
    if (m_handle >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t n = write(static_cast<int>(m_handle), &one, sizeof one);
    }
}

bool CAbortSignal::IsTriggered() const
{
    return m_triggered.load();
}

}  // namespace zorflash
