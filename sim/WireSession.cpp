#include "sim/WireSession.h"

#include <algorithm>
#include <cstdio>

namespace zorflash {

namespace {

// The exchange, host to instrument and back.
constexpr char kUpdateCommand[] = ":UP:EXEC\r\n";
constexpr uint8_t kSyncByte = 0x55;
constexpr char kSyncReply[] = "\xAA";
constexpr char kIdentText[] = "MORVENAL\r\n";   // sent by the host and echoed back whole
constexpr uint8_t kHeaderSizeByte = 0x38;       // 56, echoed
constexpr std::size_t kHeaderSize = 56;
constexpr char kAck[] = "Y";
constexpr char kNak[] = "N";
constexpr char kWrongIdent[] = "MORVENAX\r\n";
constexpr int kBlockRecords = 64;

std::string Hex(uint8_t byte)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", byte);
    return text;
}

// Header lines are ASCII; anything else is shown escaped so the report stays one line.
std::string Printable(const uint8_t* data, std::size_t size)
{
    std::string out;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] >= 0x20 && data[i] < 0x7F && data[i] != '"' && data[i] != '\\')
            out += static_cast<char>(data[i]);
        else {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\x%02X", data[i]);
            out += esc;
        }
    }
    return out;
}

bool IsAckPoint(int recordIndex)
{
    return recordIndex == 0 || (recordIndex - 1) % kBlockRecords == 0;
}

} // namespace

CWireSession::CWireSession(const CFaultPlan& faults) : m_faults(faults) {}

std::size_t CWireSession::Feed(const uint8_t* data, std::size_t size)
{
    if (size > 0 && m_wireOffset == 0)
        m_start = std::chrono::steady_clock::now();
    std::size_t i = 0;
    while (i < size) {
        if (m_state == State::RecordData) {
            // The bulk of an update: taken a run at a time, not byte by byte.
            const std::size_t take = std::min<std::size_t>(2 * m_recordLength - m_dataSeen, size - i);
            for (std::size_t k = 0; k < take; ++k)
                m_sum += data[i + k];
            m_image.insert(m_image.end(), data + i, data + i + take);
            m_imageOffset += take;
            m_wireOffset += take;
            m_dataSeen += static_cast<int>(take);
            i += take;
            if (m_dataSeen == 2 * m_recordLength)
                m_state = State::RecordChecksum;
            if (!CheckImageLimit())
                return i;
            continue;
        }
        const bool wasDone = m_state == State::Done;
        TakeByte(data[i++]);
        ++m_wireOffset;
        if (!wasDone && m_state == State::Done)
            return i;
        if (!CheckImageLimit())
            return i;
    }
    return size;
}

void CWireSession::TakeByte(uint8_t byte)
{
    switch (m_state) {
    case State::Command:
        ExpectText(kUpdateCommand, sizeof kUpdateCommand - 1, byte, State::Sync,
                   "the update-start command \":UP:EXEC\\r\\n\"");
        return;
    case State::Sync:
        if (byte != kSyncByte)
            return Fail("expected the sync byte 0x55 but got " + Hex(byte) + " at byte "
                        + std::to_string(m_wireOffset) + " of the exchange");
        return OfferReply({ReplyStep::Sync}, std::string(kSyncReply, 1), State::Ident);
    case State::Ident:
        ExpectText(kIdentText, sizeof kIdentText - 1, byte, State::HeaderSize,
                   "the identification command \"MORVENAL\\r\\n\"");
        if (m_state == State::HeaderSize)
            OfferReply({ReplyStep::Ident}, kIdentText, State::HeaderSize);
        return;
    case State::HeaderSize:
        if (byte != kHeaderSizeByte)
            return Fail("expected the header-size byte 0x38 but got " + Hex(byte) + " at byte "
                        + std::to_string(m_wireOffset) + " of the exchange");
        return OfferReply({ReplyStep::HeaderSize}, "8", State::Header);
    case State::Header:
        m_header.push_back(byte);
        m_image.push_back(byte);
        ++m_imageOffset;
        if (m_header.size() == kHeaderSize)
            OnHeaderComplete();
        return;
    case State::RecordLength:
        m_image.push_back(byte);
        m_recordOffset = m_imageOffset++;
        if (byte == 0) {
            // END: closes the section; a section may consist of END alone.
            if (++m_sectionsDone == m_sectionsNeeded) {
                m_state = State::Done;
                EndTiming();
            } else {
                ++m_section;
                m_recordIndex = 0;
            }
            return;
        }
        m_recordLength = byte;
        m_dataSeen = 0;
        m_sum = 0;
        m_state = State::RecordData;
        return;
    case State::RecordData:
        return;  // taken in runs by Feed
    case State::RecordChecksum:
        m_image.push_back(byte);
        ++m_imageOffset;
        OnRecordComplete(byte);
        return;
    case State::AwaitReply:
        m_pending.reset();
        return Fail("host sent before acknowledgement: byte " + Hex(byte) + " at byte "
                    + std::to_string(m_wireOffset) + " of the exchange (image offset "
                    + std::to_string(m_imageOffset) + "), while the reply to "
                    + DescribeReplyPoint(m_pendingPoint) + " was due");
    case State::Refused:
        if (!m_injected)
            return;  // past the image limit: the link is being cut
        return Fail("host went on after the instrument's "
                    + DescribeFault(m_injected->first) + " at "
                    + DescribeReplyPoint(m_injected->second) + ": byte " + Hex(byte)
                    + " at byte " + std::to_string(m_wireOffset) + " of the exchange");
    case State::Failed:
        return;  // the first error stands; the rest is drained
    case State::Done:
        return Fail("extra byte " + Hex(byte) + " after the last END (image offset "
                    + std::to_string(m_imageOffset) + ")");
    }
}

void CWireSession::ExpectText(const char* text, std::size_t length, uint8_t byte, State next,
                              const char* what)
{
    if (byte != static_cast<uint8_t>(text[m_match])) {
        Fail(std::string("expected ") + what + " but got " + Hex(byte) + " at byte "
             + std::to_string(m_wireOffset) + " of the exchange");
        return;
    }
    if (++m_match == length) {
        m_match = 0;
        m_state = next;
    }
}

void CWireSession::OnHeaderComplete()
{
    const auto match = ClassifyHeaderLine(m_header.data());
    if (!match)
        return RefuseWithNak("unknown header line \"" + Printable(m_header.data(), kSimHeaderLineLength)
                             + "\"");
    m_kind = match->kind;
    m_sectionsNeeded = SectionsOf(match->kind);
    OfferReply({ReplyStep::Header}, kAck, State::RecordLength);
}

void CWireSession::OnRecordComplete(uint8_t checksum)
{
    const uint8_t expected = static_cast<uint8_t>(m_sum & 0xFF);
    if (checksum != expected) {
        // Answered at once with 'N': the host reads it at its next acknowledgement point.
        return RefuseWithNak("bad checksum in section " + std::to_string(m_section) + " record "
                             + std::to_string(m_recordIndex) + " (image offset "
                             + std::to_string(m_recordOffset) + "): got " + Hex(checksum)
                             + ", the data sum to " + Hex(expected));
    }
    ++m_records;
    const int index = m_recordIndex++;
    if (IsAckPoint(index))
        OfferReply({ReplyStep::Record, m_section, index}, kAck, State::RecordLength);
    else
        m_state = State::RecordLength;
}

void CWireSession::OfferReply(const ReplyPoint& point, const std::string& proper, State next)
{
    SimReply reply;
    reply.bytes = proper;
    if (point.step == ReplyStep::Record)
        reply.delayMs = m_faults.AckDelayMs();
    m_afterReply = next;
    if (const auto fault = m_faults.FaultAt(point)) {
        if (fault->action == FaultAction::Delay) {
            reply.delayMs += fault->delayMs;
        } else {
            m_injected = std::make_pair(*fault, point);
            m_afterReply = State::Refused;
            switch (fault->action) {
            case FaultAction::Wrong:
                reply.bytes = point.step == ReplyStep::Ident ? std::string(kWrongIdent)
                                                            : std::string(1, '\0');
                break;
            case FaultAction::Silent: reply.bytes.clear(); break;
            case FaultAction::Drop: reply.bytes.clear(); reply.drop = true; break;
            case FaultAction::Reset: reply.bytes.clear(); reply.drop = reply.reset = true; break;
            case FaultAction::Short: reply.bytes = std::string(kIdentText, 4); break;
            case FaultAction::Nak: reply.bytes = kNak; break;
            case FaultAction::Delay: break;
            }
        }
    }
    m_pending = reply;
    m_pendingPoint = point;
    m_state = State::AwaitReply;
}

void CWireSession::ReplyDone()
{
    if (!m_pending)
        return;
    if (m_pending->bytes == kAck && m_pendingPoint.step == ReplyStep::Record)
        ++m_acks;
    m_pending.reset();
    m_state = m_afterReply;
}

void CWireSession::Fail(const std::string& message)
{
    if (m_error.empty())
        m_error = message;
    m_state = State::Failed;
    EndTiming();
}

void CWireSession::RefuseWithNak(const std::string& message)
{
    Fail(message);
    m_pending = SimReply{kNak};
    m_afterReply = State::Failed;
}

bool CWireSession::CheckImageLimit()
{
    if (m_overLimit || m_imageOffset <= m_faults.ImageLimit() || m_state == State::Failed)
        return !m_overLimit;
    m_overLimit = true;
    m_pending.reset();
    m_state = State::Refused;
    EndTiming();
    return false;
}

void CWireSession::EndTiming()
{
    if (!m_end)
        m_end = std::chrono::steady_clock::now();
}

std::string CWireSession::Where() const
{
    switch (m_state) {
    case State::Command: return "the update-start command";
    case State::Sync: return "the sync step";
    case State::Ident: return "the identification step";
    case State::HeaderSize: return "the header-size step";
    case State::Header:
        return "the header (" + std::to_string(m_header.size()) + " of 56 bytes)";
    case State::AwaitReply:
        return "the wait for the reply to " + DescribeReplyPoint(m_pendingPoint);
    default: break;
    }
    if (m_recordIndex == 0)
        return "the start of section " + std::to_string(m_section);
    return "section " + std::to_string(m_section) + " after record "
           + std::to_string(m_recordIndex - 1);
}

std::string CWireSession::PlaceInSection() const
{
    if (m_recordIndex == 0)
        return "at the start of section " + std::to_string(m_section);
    return "in section " + std::to_string(m_section) + " after record "
           + std::to_string(m_recordIndex - 1);
}

void CWireSession::LinkClosedByHost()
{
    m_linkEnd = "closed-by-host";
    if (m_state == State::RecordLength || m_state == State::RecordData
        || m_state == State::RecordChecksum) {
        const bool inside = m_state != State::RecordLength;
        Fail("missing END: link closed by the host "
             + (inside ? "inside section " + std::to_string(m_section) + " record "
                             + std::to_string(m_recordIndex)
                       : PlaceInSection())
             + " (image offset " + std::to_string(m_imageOffset) + ")");
    } else if (m_state != State::Done && m_state != State::Refused && m_state != State::Failed) {
        Fail("link closed by the host during " + Where());
    }
    EndTiming();
}

void CWireSession::LinkResetByHost()
{
    LinkClosedByHost();
    m_linkEnd = "reset-by-host";
}

void CWireSession::LinkDroppedBySim()
{
    m_linkEnd = "dropped-by-sim";
    m_pending.reset();
    m_state = State::Refused;
    EndTiming();
}

void CWireSession::LinkClosedBySim()
{
    m_linkEnd = "closed-by-sim";
    EndTiming();
}

void CWireSession::HostSilent(int ms)
{
    const std::string waited = std::to_string(ms) + " ms";
    if (m_state == State::Refused && m_injected)
        Fail("host kept the link open " + waited + " after the instrument's "
             + DescribeFault(m_injected->first) + " at " + DescribeReplyPoint(m_injected->second));
    else if (m_state != State::Done && m_state != State::Failed)
        Fail("host went silent for " + waited + " during " + Where());
    LinkClosedBySim();
}

void CWireSession::Stop(const std::string& why)
{
    if (m_state != State::Done && m_state != State::Refused)
        Fail(why + " during " + Where());
    LinkClosedBySim();
}

std::vector<uint8_t> CWireSession::TakeImageBytes()
{
    std::vector<uint8_t> out;
    out.swap(m_image);
    return out;
}

std::string CWireSession::KindName() const { return m_kind ? SimKindName(*m_kind) : "-"; }

std::string CWireSession::Verdict() const
{
    if (!m_error.empty())
        return "ERROR: " + m_error;
    if (m_overLimit)
        return "FAULT: image larger than " + std::to_string(m_faults.ImageLimit()) + " bytes, "
               + PlaceInSection();
    if (m_injected)
        return "FAULT: " + DescribeFault(m_injected->first) + " at "
               + DescribeReplyPoint(m_injected->second);
    if (m_state == State::Done)
        return "OK";
    return "ERROR: unfinished during " + Where();
}

std::string CWireSession::Summary(int number, const std::string& extra) const
{
    const auto end = m_end.value_or(std::chrono::steady_clock::now());
    const double seconds = std::chrono::duration<double>(end - m_start).count();
    char time[32];
    std::snprintf(time, sizeof time, "%.3f", seconds);
    std::string line = "update " + std::to_string(number) + ": kind=" + KindName()
                       + " sections=" + std::to_string(m_sectionsDone)
                       + " records=" + std::to_string(m_records)
                       + " bytes=" + std::to_string(m_wireOffset)
                       + " acks=" + std::to_string(m_acks) + " time=" + time + "s";
    if (!extra.empty())
        line += " " + extra;
    return line + " link=" + m_linkEnd + " verdict=" + Verdict();
}

}  // namespace zorflash
