#include "sim/SampleWriter.h"

#include "sim/VolumeName.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

namespace zorflash {

namespace {

constexpr long long kMaxRecordsPerSection = 1LL << 32;

// splitmix64: fixed output for a seed on every platform, unlike the library distributions.
class Random {
public:
    explicit Random(uint64_t seed) : m_state(seed) {}
    uint64_t Next()
    {
        uint64_t z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }

private:
    uint64_t m_state;
};

// Lengths come from a stream of their own, so the plan can be counted without the data.
class LengthSource {
public:
    LengthSource(uint64_t seed, int fixed) : m_random(seed), m_fixed(fixed) {}
    int Next() { return m_fixed > 0 ? m_fixed : static_cast<int>(1 + m_random.Next() % 255); }

private:
    Random m_random;
    int m_fixed;
};

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

std::string MakeHeader(const SampleOptions& options, int volume)
{
    std::string header = SimHeaderLine(SimModelAt(options.model), options.kind);
    char rest[32];
    std::snprintf(rest, sizeof rest, "VER1.00 SEED%04u%02d    \r\n",
                  static_cast<unsigned>(options.seed % 10000), volume);
    header += rest;
    return header;  // 32 + 16 + 2 + 6 bytes
}

// One good record of the next length, its data from the random stream; its length N.
int FillRecord(uint8_t* record, LengthSource& lengths, Random& data)
{
    const int n = lengths.Next();
    record[0] = static_cast<uint8_t>(n);
    unsigned sum = 0;
    uint64_t bits = 0;
    for (int i = 0; i < 2 * n; ++i) {
        if (i % 8 == 0)
            bits = data.Next();
        record[1 + i] = static_cast<uint8_t>(bits >> (8 * (i % 8)));
        sum += record[1 + i];
    }
    record[2 * n + 1] = static_cast<uint8_t>(sum);
    return n;
}

} // namespace

bool CSampleWriter::CheckOptions(std::string& error) const
{
    const SampleOptions& o = m_options;
    if (o.recordsPerSection.has_value() == o.streamBytes.has_value())
        error = "give exactly one of --records and --bytes";
    else if (o.recordsPerSection && (*o.recordsPerSection < 0 || *o.recordsPerSection > kMaxRecordsPerSection))
        error = "--records must be 0 or more";
    else if (o.recordLength < 0 || o.recordLength > 255)
        error = "--record-len must be 1..255";
    else if (o.volumes != 1 && o.volumes != 2)
        error = "--volumes must be 1 or 2";
    else if (o.splitAt && o.volumes != 2)
        error = "--split-at needs --volumes 2";
    return error.empty();
}

bool CSampleWriter::PlanSections(std::string& error)
{
    const int sections = SectionsOf(m_options.kind);
    m_sectionRecords.assign(sections, 0);
    if (m_options.recordsPerSection) {
        m_sectionRecords.assign(sections, *m_options.recordsPerSection);
    } else {
        // Fill each section to its share of the size; the plan replays the length stream.
        LengthSource lengths(m_options.seed, m_options.recordLength);
        const unsigned long long share = *m_options.streamBytes / sections;
        for (long long& count : m_sectionRecords) {
            unsigned long long bytes = 1;  // the END byte
            do {
                bytes += 2ULL * lengths.Next() + 2;
                ++count;
            } while (bytes < share && count < kMaxRecordsPerSection);
        }
    }
    m_streamRecords = 0;
    for (long long count : m_sectionRecords)
        m_streamRecords += count + 1;

    if (m_options.splitAt && (*m_options.splitAt < 0 || *m_options.splitAt > m_streamRecords))
        error = "--split-at must lie between 0 and the " + std::to_string(m_streamRecords)
                + " stream records";
    if (const auto& bad = m_options.badChecksum) {
        const auto sections = static_cast<int>(m_sectionRecords.size());
        if (bad->section < 1 || bad->section > sections)
            error = "--bad-checksum: the file has " + std::to_string(sections) + " section"
                    + (sections == 1 ? "" : "s") + ", not a section " + std::to_string(bad->section);
        else if (const long long count = m_sectionRecords[static_cast<std::size_t>(bad->section - 1)];
                 bad->record < 0 || bad->record >= count)
            error = "--bad-checksum: section " + std::to_string(bad->section) + " holds "
                    + (count == 0 ? std::string("no record with a checksum")
                                  : "records 0 (START) to " + std::to_string(count - 1))
                    + ", not a record " + std::to_string(bad->record);
    }
    return error.empty();
}

bool CSampleWriter::TruncateFirstVolume(unsigned long long size, std::string& error) const
{
    std::error_code ec;
    const auto written = std::filesystem::file_size(m_volumes[0].path, ec);
    if (ec || size >= written) {
        error = "--truncate-at must lie inside volume 1 (" + std::to_string(written) + " bytes)";
        return false;
    }
    std::filesystem::resize_file(m_volumes[0].path, size, ec);
    if (ec) {
        error = "cannot truncate '" + m_volumes[0].path + "': " + ec.message();
        return false;
    }
    return true;
}

bool CSampleWriter::Write(const std::string& path, std::string& error)
{
    m_volumes.clear();
    if (!CheckOptions(error) || !PlanSections(error))
        return false;
    const long long splitAt = m_options.volumes == 2 ? m_options.splitAt.value_or(m_streamRecords / 2)
                                                     : m_streamRecords;
    for (int v = 1; v <= m_options.volumes; ++v)
        m_volumes.push_back({VolumeFileName(path, v), 0});
    if (m_options.volumes == 2 && m_volumes[0].path == m_volumes[1].path) {
        error = "'" + path + "' gives no volume names: its only '.' is its first character";
        return false;
    }

    std::vector<char> buffer(1 << 20);
    FilePtr file;
    auto open = [&](int volume) {
        file.reset(std::fopen(m_volumes[volume - 1].path.c_str(), "wb"));
        if (!file) {
            error = "cannot write '" + m_volumes[volume - 1].path + "'";
            return false;
        }
        std::setvbuf(file.get(), buffer.data(), _IOFBF, buffer.size());
        const std::string header = MakeHeader(m_options, volume);
        std::fwrite(header.data(), 1, header.size(), file.get());
        return true;
    };
    auto finish = [&](int volume) {
        const bool ok = std::fflush(file.get()) == 0 && !std::ferror(file.get());
        file.reset();
        if (!ok)
            error = "write error on '" + m_volumes[volume - 1].path + "'";
        return ok;
    };

    if (!open(1))
        return false;
    int volume = 1;
    LengthSource lengths(m_options.seed, m_options.recordLength);
    Random data(m_options.seed ^ 0xD1B54A32D192ED03ULL);
    uint8_t record[2 * 255 + 2];
    long long streamIndex = 0;
    auto afterRecord = [&]() {
        if (++streamIndex == splitAt && volume == 1 && m_options.volumes == 2) {
            if (!finish(1) || !open(2))
                return false;
            volume = 2;
        }
        return true;
    };
    if (splitAt == 0 && m_options.volumes == 2) {
        if (!finish(1) || !open(2))
            return false;
        volume = 2;
    }
    int section = 0;
    for (long long count : m_sectionRecords) {
        ++section;
        for (long long r = 0; r < count; ++r) {
            const int n = FillRecord(record, lengths, data);
            if (const auto& bad = m_options.badChecksum; bad && bad->section == section && bad->record == r)
                record[2 * n + 1] ^= 0xFF;
            std::fwrite(record, 1, 2 * n + 2, file.get());
            if (!afterRecord())
                return false;
        }
        std::fputc(0, file.get());
        if (!afterRecord())
            return false;
    }
    if (file && !finish(volume))
        return false;

    if (m_options.truncateAt && !TruncateFirstVolume(*m_options.truncateAt, error))
        return false;
    std::error_code ec;
    for (SampleVolume& written : m_volumes)
        written.size = std::filesystem::file_size(written.path, ec);
    return true;
}

}  // namespace zorflash
