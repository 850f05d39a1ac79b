#include "ui/LinkFailureWatch.h"

namespace zorflash {

void CLinkFailureWatch::Reset()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_seen = Seen();
}

CLinkFailureWatch::Seen CLinkFailureWatch::Get() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_seen;
}

void CLinkFailureWatch::OnLinkBytes(Direction, const uint8_t*, uint32_t, Clock::time_point)
{
    // Bytes that crossed tell nothing the outcome does not; only failures are kept.
}

void CLinkFailureWatch::OnLinkFailure(Direction, uint32_t code, Clock::duration, Clock::time_point)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    // The first failure is the cause; closing the link after it can fail again.
    if (!m_seen.failed) {
        m_seen.failed = true;
        m_seen.failureCode = code;
    }
}

void CLinkFailureWatch::OnLinkOpened(uint32_t error, Clock::duration, Clock::time_point)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_seen.opened = true;
    m_seen.openError = error;
}

void CLinkFailureWatch::OnUsbSearch(const std::vector<UsbInstrument>& asked)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_seen.usbSearched = true;
    m_seen.usbAsked = static_cast<int>(asked.size());
}

}  // namespace zorflash
