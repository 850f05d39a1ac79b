#include "present/LinkWatch.h"

#include <algorithm>

namespace zorflash {

namespace {
constexpr size_t kKept = 64;  // enough to name a reply or a command, never a whole block
}

void CLinkWatch::OnLinkBytes(Direction direction, const uint8_t* data, uint32_t length, Clock::time_point)
{
    if (direction == Direction::Sent) {
        m_written = true;
        m_received.clear();
    } else if (m_received.size() < kKept) {
        m_received.insert(m_received.end(), data, data + std::min<size_t>(length, kKept - m_received.size()));
    }
}

void CLinkWatch::OnLinkFailure(Direction direction, uint32_t code, Clock::duration waited, Clock::time_point)
{
    m_failureSeen = true;
    m_failureDirection = direction;
    m_failureCode = code;
    m_failureWaited = std::chrono::duration<double>(waited).count();
}

void CLinkWatch::OnLinkOpened(uint32_t error, Clock::duration waited, Clock::time_point)
{
    m_openSeen = true;
    m_openError = error;
    m_openSeconds = std::chrono::duration<double>(waited).count();
}

void CLinkWatch::OnUsbSearch(const std::vector<UsbInstrument>& asked)
{
    m_usbSearch = asked;
}

}  // namespace zorflash
