#include "cli/diagnose/LinkTrace.h"

#include "platform/OutputQueue.h"

#include "platform/LastError.h"
#include "platform/StatusFile.h"
#include "present/FailureReason.h"
#include "present/PrintableText.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace zorflash {

namespace {
// Where the lines beneath a transfer start: past its time stamp and direction.
constexpr char kIndent[] = "              ";

// "1 byte", "2 bytes".
std::string Counted(uint64_t count, const char* word)
{
    return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

// " after 1.234 s": how long a link's open or transfer waited.
std::string After(CLinkTrace::Clock::duration waited)
{
    char text[32];
    std::snprintf(text, sizeof text, " after %.3f s", std::chrono::duration<double>(waited).count());
    return text;
}
}  // namespace

CLinkTrace::~CLinkTrace()
{
    Close("");
}

bool CLinkTrace::Open(const std::string& path, bool everyByte, const std::vector<std::string>& keep,
                      COutputQueue& output, std::string& error)
{
    // The status file's own checks: never a volume of the update, never a FIFO or device
    // that would hold the run, never standard output or error, a folder that can be
    // written. Nothing is created yet: the file appears with the link's first event.
    m_place = CStatusFile(path);
    if (!m_place.Check(keep, error))
        return false;
    m_path = path;
    m_output = &output;
    m_everyByte = everyByte;
    m_start = Clock::now();
    return true;
}

bool CLinkTrace::Ready()
{
    if (m_file)
        return true;
    if (m_path.empty() || m_lost)
        return false;
    m_file = std::fopen(m_path.c_str(), "wb");
    if (!m_file) {
        m_lost = true;
        return false;
    }
    m_output->Post(m_file, m_heading);
    return true;
}

void CLinkTrace::Heading(const UpdateSettings& settings)
{
    m_heading = "# zorflash-cli trace of " + settings.filePath + " to " +
                (settings.useUsb ? "USB device number " + std::to_string(settings.usbDeviceNumber)
                                 : TargetText(settings)) +
                (settings.fastMode ? ", fast mode" : ", normal mode") +
                "\n# seconds since the start (monotonic), > host to instrument, < instrument to host; "
                "the record stream is summarised per block unless --trace-all\n";
}

std::string CLinkTrace::Stamp(Clock::time_point at) const
{
    char text[32];
    std::snprintf(text, sizeof text, "%12.6f", std::chrono::duration<double>(at - m_start).count());
    return text;
}

void CLinkTrace::Send(bool always)
{
    if (m_text.empty() || !m_file)
        return;
    if (!always && m_output->Backlog(m_file) > kBacklogLimit) {
        ++m_leftOutEntries;
        m_leftOutBytes += m_text.size();
        m_text.clear();
        return;
    }
    if (m_leftOutEntries > 0) {
        m_text.insert(0, "# the trace file could not keep up with the link: " + std::to_string(m_leftOutEntries) +
                             " entries (" + std::to_string(m_leftOutBytes) + " bytes of trace) were left out here\n");
        m_leftOutEntries = 0;
        m_leftOutBytes = 0;
    }
    m_output->Post(m_file, std::move(m_text));
    m_text.clear();
}

void CLinkTrace::Dump(const std::string& heading, const uint8_t* data, size_t length)
{
    m_text += heading + "\n";
    for (size_t row = 0; row < length; row += 16) {
        char hex[16 * 3 + 1] = {};
        char ascii[17] = {};
        for (size_t i = 0; i < 16; ++i) {
            if (row + i < length) {
                const uint8_t b = data[row + i];
                std::snprintf(hex + 3 * i, 4, "%02x ", b);
                ascii[i] = (b >= 0x20 && b < 0x7F) ? static_cast<char>(b) : '.';
            } else {
                std::memcpy(hex + 3 * i, "   ", 4);
            }
        }
        char line[128];
        std::snprintf(line, sizeof line, "%s%06zx  %s |%s|\n", kIndent, row, hex, ascii);
        m_text += line;
    }
}

void CLinkTrace::OnLinkBytes(Direction direction, const uint8_t* data, uint32_t length, Clock::time_point at)
{
    if (!Ready())
        return;
    FlushPending();
    if (direction == Direction::Sent) {
        // Held back until the engine says whether it was the record stream.
        m_pending.assign(data, data + length);
        m_pendingAt = at;
        m_hasPending = true;
        Send();
        return;
    }
    FlushBlock();
    Dump(Stamp(at) + "  <  " + Counted(length, "byte"), data, length);
    Send();
}

void CLinkTrace::RecordStream(const SendLabel& label)
{
    if (!m_hasPending || !Ready())
        return;
    m_hasPending = false;
    // The label is the engine's word for what the write held; the bytes are only dumped.
    const bool endsSection = label.step == UpdateStep::EndRecord;
    const uint64_t records = label.Records();
    const uint64_t first = records > 0 ? label.firstRecord : m_nextIndex;
    m_nextIndex = endsSection ? 0 : records > 0 ? label.lastRecord + 1 : m_nextIndex;
    const size_t size = m_pending.size();
    if (m_everyByte) {
        Dump(Stamp(m_pendingAt) + "  >  " + Counted(size, "byte") + " (section " + std::to_string(label.section) +
                 ", " + Counted(records, "record") + " from " + std::to_string(first) + (endsSection ? ", END)" : ")"),
             m_pending.data(), size);
        Send();
        return;
    }
    Block& b = m_block;
    if (b.writes == 0) {
        b.first = m_pendingAt;
        b.section = label.section;
        b.firstIndex = first;
    }
    b.last = m_pendingAt;
    ++b.writes;
    b.bytes += size;
    if (records > 0) {
        // A label that does not fit the write is kept out of the dump, never read past.
        const size_t firstBytes = std::min<size_t>(label.firstRecordBytes, size);
        const size_t lastAt = std::min<size_t>(label.lastRecordOffset, size);
        if (b.records == 0)
            b.firstRecord.assign(m_pending.begin(), m_pending.begin() + firstBytes);
        b.lastRecord.assign(m_pending.begin() + lastAt, m_pending.end());
        b.lastIndex = label.lastRecord;
        b.lastSection = label.section;
    }
    b.records += records;
    b.endBytes += endsSection ? 1 : 0;
    if (endsSection)
        FlushBlock();  // the next section's START is a block of its own
    Send();
}

void CLinkTrace::FlushPending()
{
    if (!m_hasPending)
        return;
    m_hasPending = false;
    FlushBlock();
    Dump(Stamp(m_pendingAt) + "  >  " + Counted(m_pending.size(), "byte"), m_pending.data(), m_pending.size());
}

void CLinkTrace::FlushBlock()
{
    Block& b = m_block;
    if (b.writes == 0)
        return;
    std::string what = "section " + std::to_string(b.section);
    if (b.records == 1)
        what += ", record " + std::to_string(b.firstIndex);
    else if (b.records > 1)
        what += ", records " + std::to_string(b.firstIndex) + ".." + std::to_string(b.lastIndex) + " (" +
                std::to_string(b.records) + ")";
    if (b.endBytes > 0)
        what += b.records > 0 ? " and END" : ", END";
    const std::string until = Stamp(b.last);
    m_text += Stamp(b.first) + "  >  " + Counted(b.bytes, "byte") + " in " + Counted(b.writes, "write") + " until " +
              until.substr(until.find_first_not_of(' ')) + ": " + what + " (record stream, summarised)\n";
    if (b.records > 0)
        Dump(kIndent + ("first record, " + std::to_string(b.firstRecord.size())) + " bytes:", b.firstRecord.data(),
             b.firstRecord.size());
    if (b.records > 1)
        Dump(kIndent + ("last record, " + std::to_string(b.lastRecord.size())) + " bytes:", b.lastRecord.data(),
             b.lastRecord.size());
    b = Block{};
}

void CLinkTrace::OnLinkFailure(Direction direction, uint32_t code, Clock::duration waited, Clock::time_point at)
{
    const char* arrow = direction == Direction::Sent ? ">" : "<";
    Event(arrow + std::string("  failed: ") + DescribeError(code) + After(waited), at);
}

void CLinkTrace::OnLinkOpened(uint32_t error, Clock::duration waited, Clock::time_point at)
{
    const std::string text = std::string("link ") + (error == 0 ? "opened" : "not opened") + After(waited);
    Event(error == 0 ? text : text + ": " + DescribeError(error), at);
}

void CLinkTrace::OnUsbSearch(const std::vector<UsbInstrument>& asked)
{
    const auto now = Clock::now();
    for (const UsbInstrument& instrument : asked)
        Event("identification of " + PrintableText(instrument.path) + ": " +
                  (instrument.error ? std::string(DescribeError(instrument.error))
                                    : "\"" + PrintableText(instrument.reply) + "\""),
              now);
}

void CLinkTrace::Event(const std::string& what, Clock::time_point at)
{
    if (!Ready())
        return;
    FlushPending();
    FlushBlock();
    m_text += Stamp(at) + "  " + what + "\n";
    Send();
}

void CLinkTrace::Close(const std::string& failureNote)
{
    if (!m_file) {
        if (m_lost && m_output && !failureNote.empty())
            m_output->Post(stderr, failureNote);
        m_lost = false;  // said once
        return;
    }
    FlushPending();
    FlushBlock();
    Send(true);
    m_output->PostClose(m_file, failureNote);
    m_file = nullptr;
}

}  // namespace zorflash
