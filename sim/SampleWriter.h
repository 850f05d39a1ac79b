#pragma once

#include "sim/ModelFacts.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zorflash {

// A record by its section (from 1) and its index there, 0 being START: the numbering of
// the status text's "Sending (%d) Record", of the faults and of every report.
struct RecordPlace {
    int section = 1;
    long long record = 0;
};

// --split-at is a count, not a record's number: how many records of the stream, END
// records included, volume 1 holds. A SUB file of 3 records per section streams
// 0 1 2 END 0 1 2 END, so --split-at 4 ends volume 1 right after the first END,
// --split-at 2 inside section 1.
struct SampleOptions {
    int model = 0;
    SimKind kind = SimKind::Main;
    std::optional<long long> recordsPerSection;    // START included; 0 = the section is END alone
    std::optional<unsigned long long> streamBytes; // about this many record bytes in all
    int recordLength = 0;                          // 1..255 fixed; 0 = varied with the seed
    uint64_t seed = 1;
    int volumes = 1;
    std::optional<long long> splitAt;              // stream records held by volume 1
    std::optional<RecordPlace> badChecksum;        // the record whose checksum is wrong
    std::optional<unsigned long long> truncateAt;  // volume 1 cut to this many bytes
};

struct SampleVolume {
    std::string path;
    unsigned long long size = 0;
};

// Writes update files that the tool must accept (or, with a corruption asked for, must
// refuse at a known place). Deterministic for a seed, so a test can rebuild the file.
class CSampleWriter {
public:
    explicit CSampleWriter(const SampleOptions& options) : m_options(options) {}

    // Writes the volumes named from `path` by the volume-name rule; false with a reason.
    bool Write(const std::string& path, std::string& error);

    const std::vector<SampleVolume>& Volumes() const { return m_volumes; }
    long long StreamRecords() const { return m_streamRecords; }
    const std::vector<long long>& SectionRecords() const { return m_sectionRecords; }

private:
    bool PlanSections(std::string& error);
    bool CheckOptions(std::string& error) const;
    bool TruncateFirstVolume(unsigned long long size, std::string& error) const;

    SampleOptions m_options;
    std::vector<long long> m_sectionRecords;
    long long m_streamRecords = 0;
    std::vector<SampleVolume> m_volumes;
};

}  // namespace zorflash
