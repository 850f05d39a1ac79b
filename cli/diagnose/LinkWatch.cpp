#include "cli/diagnose/LinkWatch.h"

#include "present/PrintableText.h"
#include "platform/LastError.h"

#include <algorithm>
#include <cstring>

namespace zorflash {

namespace {
constexpr size_t kKept = 64;  // enough to name a reply or a command, never a whole block
}

void CLinkWatch::OnLinkBytes(Direction direction, const uint8_t* data, uint32_t length, Clock::time_point at)
{
    if (m_trace)
        m_trace->Bytes(direction, data, length, at);
    if (direction == Direction::Sent) {
        m_written = true;
        m_received.clear();
    } else if (m_received.size() < kKept) {
        m_received.insert(m_received.end(), data, data + std::min<size_t>(length, kKept - m_received.size()));
    }
}

void CLinkWatch::OnSend(const SendLabel& label)
{
    m_label = label;
}

void CLinkWatch::OnRecordStreamWrite()
{
    if (m_trace)
        m_trace->RecordStream(m_label);
}

void CLinkWatch::OnLinkFailure(Direction direction, uint32_t code, Clock::duration waited, Clock::time_point at)
{
    m_failureSeen = true;
    m_failureDirection = direction;
    m_failureCode = code;
    m_failureWaited = std::chrono::duration<double>(waited).count();
    if (m_trace) {
        char text[256];
        std::snprintf(text, sizeof text, "%s after %.3f s", DescribeError(code), m_failureWaited);
        m_trace->Failure(direction, text, at);
    }
}

void CLinkWatch::OnLinkOpened(uint32_t error, Clock::duration waited, Clock::time_point at)
{
    m_openSeen = true;
    m_openError = error;
    m_openSeconds = std::chrono::duration<double>(waited).count();
    if (m_trace) {
        char text[256];
        std::snprintf(text, sizeof text, "link %s after %.3f s", error == 0 ? "opened" : "not opened", m_openSeconds);
        m_trace->Event(error == 0 ? text : std::string(text) + ": " + DescribeError(error), at);
    }
}

void CLinkWatch::OnUsbSearch(const std::vector<UsbInstrument>& asked)
{
    m_usbSearch = asked;
    if (!m_trace)
        return;
    const auto now = Clock::now();
    for (const UsbInstrument& instrument : asked)
        m_trace->Event("identification of " + PrintableText(instrument.path) + ": " +
                           (instrument.error ? std::string(DescribeError(instrument.error))
                                             : "\"" + PrintableText(instrument.reply) + "\""),
                       now);
}

}  // namespace zorflash
