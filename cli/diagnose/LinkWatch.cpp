#include "cli/diagnose/LinkWatch.h"

#include "cli/output/PrintableText.h"
#include "platform/LastError.h"
#include "update/UpdateProtocol.h"

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
        m_lastWrite.assign(data, data + std::min<size_t>(length, kKept));
        m_lastWriteLength = length;
        m_lastWriteIsRecords = false;
        m_received.clear();
        m_pendingSpan = m_walk.Peek(data, length);  // kept only if the engine says it was records
    } else if (m_received.size() < kKept) {
        m_received.insert(m_received.end(), data, data + std::min<size_t>(length, kKept - m_received.size()));
    }
}

void CLinkWatch::OnRecordStreamWrite()
{
    if (m_trace)
        m_trace->RecordStream();
    m_lastWriteIsRecords = true;
    m_walk.Commit(m_pendingSpan);
    m_lastSpan = m_pendingSpan;
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

std::string CLinkWatch::LastWrite() const
{
    using namespace UpdateProtocol;
    if (m_lastWriteLength == 0)
        return "";
    if (m_lastWriteIsRecords) {
        const CRecordWalk::Span& s = m_lastSpan;
        std::string what;
        if (s.records == 1 && s.first == 0)
            what = "the START record";
        else if (s.records == 1)
            what = "record " + std::to_string(s.first);
        else if (s.records > 1)
            what = "records " + std::to_string(s.first) + ".." + std::to_string(s.first + s.records - 1);
        if (s.endsSection)
            what += what.empty() ? "the END byte" : " and the END byte";
        return what + " of section " + std::to_string(s.section);
    }
    const std::string text(m_lastWrite.begin(), m_lastWrite.end());
    if (text == std::string(kUpdateStartCommand) + "\r\n")
        return "the update command " + std::string(kUpdateStartCommand);
    if (text == std::string(kIdentCommand) + "\r\n")
        return "the identification " + std::string(kIdentCommand);
    if (m_lastWriteLength == 1 && m_lastWrite[0] == kSyncByte)
        return "the sync byte 0x55";
    if (m_lastWriteLength == 1 && m_lastWrite[0] == kHeaderSizeByte)
        return "the header size 0x38";
    if (m_lastWriteLength == 56)
        return "the 56-byte header";
    return "a write of " + std::to_string(m_lastWriteLength) + " bytes";
}

}  // namespace zorflash
