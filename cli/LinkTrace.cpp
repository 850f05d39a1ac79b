#include "cli/LinkTrace.h"

#include "link/AddressText.h"
#include "platform/StatusFile.h"

#include <cerrno>
#include <cstring>

namespace zorflash {

bool CLinkTrace::Open(const std::string& path, bool everyByte, const std::vector<std::string>& keep,
                      std::string& error)
{
    // The status file's own checks: never a volume of the update, never a FIFO or device
    // that would hold the run, never standard output or error, a folder that can be
    // written. Nothing is created yet: the file appears with the link's first event.
    m_place = CStatusFile(path);
    if (!m_place.Check(keep, error))
        return false;
    m_path = path;
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
    m_file.reset(std::fopen(m_path.c_str(), "wb"));
    if (!m_file) {
        m_lost = true;
        return false;
    }
    std::fputs(m_heading.c_str(), m_file.get());
    return true;
}

void CLinkTrace::Heading(const UpdateSettings& settings)
{
    char address[32] = {};
    FormatAddressText(settings.ipAddress, address, sizeof address);
    m_heading = "# zorflash-cli trace of " + settings.filePath + " to " +
                (settings.useUsb ? "USB device number " + std::to_string(settings.usbDeviceNumber)
                                 : std::string(address) + ":" + std::to_string(settings.port)) +
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

void CLinkTrace::Line(const std::string& text)
{
    if (!Ready())
        return;
    FlushPending();
    FlushBlock();
    std::fprintf(m_file.get(), "%s\n", text.c_str());
}

void CLinkTrace::Dump(const uint8_t* data, size_t length, const char* indent)
{
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
        std::fprintf(m_file.get(), "%s%06zx  %s |%s|\n", indent, row, hex, ascii);
    }
}

void CLinkTrace::Bytes(Direction direction, const uint8_t* data, uint32_t length, Clock::time_point at)
{
    if (!Ready())
        return;
    FlushPending();
    if (direction == Direction::Sent) {
        // Held back until the engine says whether it was the record stream.
        m_pending.assign(data, data + length);
        m_pendingAt = at;
        m_hasPending = true;
        return;
    }
    FlushBlock();
    std::fprintf(m_file.get(), "%s  <  %u byte%s\n", Stamp(at).c_str(), length, length == 1 ? "" : "s");
    Dump(data, length, "              ");
}

void CLinkTrace::RecordStream()
{
    if (!m_hasPending || !Ready())
        return;
    m_hasPending = false;
    const CRecordWalk::Span span = m_walk.Walk(m_pending.data(), static_cast<uint32_t>(m_pending.size()));
    if (m_everyByte) {
        char what[128];
        std::snprintf(what, sizeof what, "section %d, %llu record%s from %llu%s", span.section,
                      static_cast<unsigned long long>(span.records), span.records == 1 ? "" : "s",
                      static_cast<unsigned long long>(span.first), span.endsSection ? ", END" : "");
        std::fprintf(m_file.get(), "%s  >  %zu byte%s (%s)\n", Stamp(m_pendingAt).c_str(), m_pending.size(),
                     m_pending.size() == 1 ? "" : "s", what);
        Dump(m_pending.data(), m_pending.size(), "              ");
        return;
    }
    Block& b = m_block;
    if (b.writes == 0) {
        b.first = m_pendingAt;
        b.start = span;
    }
    b.last = m_pendingAt;
    ++b.writes;
    b.bytes += m_pending.size();
    if (span.records > 0) {
        if (b.records == 0)
            b.firstRecord.assign(m_pending.begin(), m_pending.begin() + span.firstLength);
        b.lastRecord.assign(m_pending.begin() + span.lastOffset, m_pending.begin() + span.lastOffset + span.lastLength);
        b.lastIndex = span.first + span.records - 1;
        b.lastSection = span.section;
    }
    b.records += span.records;
    b.endBytes += span.endsSection ? 1 : 0;
    if (span.endsSection)
        FlushBlock();  // the next section's START is a block of its own
}

void CLinkTrace::FlushPending()
{
    if (!m_hasPending)
        return;
    m_hasPending = false;
    FlushBlock();
    std::fprintf(m_file.get(), "%s  >  %zu byte%s\n", Stamp(m_pendingAt).c_str(), m_pending.size(),
                 m_pending.size() == 1 ? "" : "s");
    Dump(m_pending.data(), m_pending.size(), "              ");
}

void CLinkTrace::FlushBlock()
{
    Block& b = m_block;
    if (b.writes == 0)
        return;
    std::FILE* f = m_file.get();
    std::string what = "section " + std::to_string(b.start.section);
    if (b.records == 1)
        what += ", record " + std::to_string(b.start.first);
    else if (b.records > 1)
        what += ", records " + std::to_string(b.start.first) + ".." + std::to_string(b.lastIndex) + " (" +
                std::to_string(b.records) + ")";
    if (b.endBytes > 0)
        what += b.records > 0 ? " and END" : ", END";
    const std::string until = Stamp(b.last);
    std::fprintf(f, "%s  >  %llu byte%s in %llu write%s until %s: %s (record stream, summarised)\n",
                 Stamp(b.first).c_str(), static_cast<unsigned long long>(b.bytes), b.bytes == 1 ? "" : "s",
                 static_cast<unsigned long long>(b.writes), b.writes == 1 ? "" : "s",
                 until.c_str() + until.find_first_not_of(' '), what.c_str());
    if (b.records > 0) {
        std::fprintf(f, "              first record, %zu bytes:\n", b.firstRecord.size());
        Dump(b.firstRecord.data(), b.firstRecord.size(), "              ");
    }
    if (b.records > 1) {
        std::fprintf(f, "              last record, %zu bytes:\n", b.lastRecord.size());
        Dump(b.lastRecord.data(), b.lastRecord.size(), "              ");
    }
    b = Block{};
}

void CLinkTrace::Failure(Direction direction, const std::string& what, Clock::time_point at)
{
    if (!Ready())
        return;
    FlushPending();
    FlushBlock();
    std::fprintf(m_file.get(), "%s  %s  failed: %s\n", Stamp(at).c_str(), direction == Direction::Sent ? ">" : "<",
                 what.c_str());
}

void CLinkTrace::Event(const std::string& what, Clock::time_point at)
{
    if (!Ready())
        return;
    FlushPending();
    FlushBlock();
    std::fprintf(m_file.get(), "%s  %s\n", Stamp(at).c_str(), what.c_str());
}

bool CLinkTrace::Close()
{
    if (!m_file)
        return !m_lost;
    FlushPending();
    FlushBlock();
    const bool written = std::ferror(m_file.get()) == 0;
    return std::fclose(m_file.release()) == 0 && written;
}

}  // namespace zorflash
