#include "cli/run/ChangeSignal.h"

namespace zorflash {

void CChangeSignal::Notify(bool urgent)
{
    {
        std::lock_guard lock(m_mutex);
        if (urgent)
            m_urgent = true;
        else if (m_shown)
            return;  // the waiter already knows something changed: no wake-up per progress step
        m_shown = true;
    }
    m_changed.notify_one();
}

void CChangeSignal::Wait(Clock::time_point redraw, Clock::time_point latest)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait_until(lock, latest, [this] { return m_urgent || m_shown; });
    if (!m_urgent && m_shown)
        m_changed.wait_until(lock, redraw, [this] { return m_urgent; });
    m_urgent = false;
    m_shown = false;
}

}  // namespace zorflash
