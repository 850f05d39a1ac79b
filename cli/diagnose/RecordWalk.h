#pragma once

#include <cstdint>

namespace zorflash {

// Follows the record stream as it goes out on the link, write by write: which records of
// which section a write holds. Records never span two writes (a record goes out whole, or
// with its block), so each write is walked by itself: length byte N, 2N data bytes and a
// checksum, or 0x00 ending the section. The count starts at 0 for each START record, as
// the status text's "Sending (N) Record" counts.
class CRecordWalk {
public:
    struct Span {
        int section = 1;          // section of the first record in the write, from 1
        uint64_t first = 0;       // index of its first record within the section
        uint64_t records = 0;     // records in the write, END bytes not counted
        bool endsSection = false; // the write holds an END byte
        uint32_t firstLength = 0; // bytes of its first record (0 if it holds none)
        uint32_t lastOffset = 0;  // where its last record begins
        uint32_t lastLength = 0;
        int ends = 0;             // END bytes in the write
        uint64_t nextAfter = 0;   // index of the record that follows the write
    };

    Span Walk(const uint8_t* data, uint32_t length);
    // What Walk would make of the write, without moving on: a write is known to be part
    // of the record stream only after it has gone out, when its bytes may be gone.
    Span Peek(const uint8_t* data, uint32_t length) const;
    // Moves on past a write that Peek looked at.
    void Commit(const Span& span);
    uint64_t TotalRecords() const { return m_total; }

private:
    int m_section = 1;
    uint64_t m_next = 0;
    uint64_t m_total = 0;
};

}  // namespace zorflash
