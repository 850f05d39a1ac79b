#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The writes of a fast-mode update, worked out in advance from an update file held in
// memory: each write is a span of the file itself (records lie back to back, so a block
// of 64 records is one span and needs no copy), with whether the instrument answers it.
class CRecordPlan {
public:
    struct Write {
        size_t offset = 0;
        size_t length = 0;
        bool acknowledged = false;
    };

    // False, with the reason in error, for a file that is not one complete volume.
    bool Build(const std::vector<uint8_t>& file, std::string& error);

    const std::vector<Write>& Writes() const { return m_writes; }
    size_t Acknowledgements() const { return m_acks; }

    static constexpr size_t kHeaderSize = 56;
    static constexpr int kBlockRecords = 64;

private:
    std::vector<Write> m_writes;
    size_t m_acks = 0;
};
