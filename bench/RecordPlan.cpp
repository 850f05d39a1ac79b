#include "RecordPlan.h"

#include <cstring>

bool CRecordPlan::Build(const std::vector<uint8_t>& file, std::string& error)
{
    m_writes.clear();
    m_acks = 0;
    if (file.size() < kHeaderSize) {
        error = "shorter than its header";
        return false;
    }
    // A SUB image carries two sections; the kind word is the third of the header line.
    const std::string line(reinterpret_cast<const char*>(file.data()), 32);
    const int sections = line.find(" SUB ") != std::string::npos ? 2 : 1;

    size_t pos = kHeaderSize;
    for (int section = 0; section < sections; ++section) {
        long index = 0;
        size_t pending = pos;  // first byte not yet part of a write
        for (;;) {
            if (pos >= file.size()) {
                error = "the record stream ends before END (a second volume is not supported here)";
                return false;
            }
            const size_t length = file[pos];
            if (length == 0) {
                ++pos;
                // The rest of the section and its END byte go out together.
                m_writes.push_back({pending, pos - pending, false});
                break;
            }
            const size_t size = 2 * length + 2;
            if (pos + size > file.size()) {
                error = "a record is cut short by the end of the file";
                return false;
            }
            pos += size;
            if (index == 0 || (index - 1) % kBlockRecords == 0) {
                m_writes.push_back({pending, pos - pending, true});
                ++m_acks;
                pending = pos;
            }
            ++index;
        }
    }
    return true;
}
