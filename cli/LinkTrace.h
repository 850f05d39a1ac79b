#pragma once

#include "cli/RecordWalk.h"
#include "link/LinkObserver.h"
#include "platform/StatusFile.h"
#include "update/UpdateSettings.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace zorflash {

// `--trace FILE`: every byte sent and received on the link, with a monotonic timestamp,
// its direction and length, as a hex dump with the printable ASCII beside it: what a
// field engineer attaches to a report. The record stream between two replies of the
// instrument is summarised as one block (its writes, records, bytes, first and last
// record) unless every byte is wanted.
class CLinkTrace {
public:
    using Clock = CLinkObserver::Clock;
    using Direction = CLinkObserver::Direction;

    // False with the reason when the file could not be created, is no regular file (a
    // FIFO would hold the run until someone reads it), is standard output or error, or is
    // one of `keep` (the update's own volumes: a trace must never overwrite the firmware
    // it is about to send). Creates nothing: the file is created, heading first, when the
    // link's first event is traced, so a target never started leaves none.
    bool Open(const std::string& path, bool everyByte, const std::vector<std::string>& keep, std::string& error);
    bool IsOpen() const { return !m_path.empty(); }
    // Where the trace goes, as checked by Open: no other output of the run may be there.
    const CStatusFile& Place() const { return m_place; }
    void Line(const std::string& text);
    // The first lines: what is sent where, and how to read the rest.
    void Heading(const UpdateSettings& settings);

    void Bytes(Direction direction, const uint8_t* data, uint32_t length, Clock::time_point at);
    // The write just traced belongs to the record stream.
    void RecordStream();
    void Failure(Direction direction, const std::string& what, Clock::time_point at);
    // Something of the link that is no transfer (its open), at its time.
    void Event(const std::string& what, Clock::time_point at);
    // Writes what is held back; true when every write reached the file.
    bool Close();

private:
    struct Block {
        Clock::time_point first{};
        Clock::time_point last{};
        uint64_t writes = 0;
        uint64_t bytes = 0;
        CRecordWalk::Span start;    // the span of its first write
        uint64_t records = 0;
        uint64_t lastIndex = 0;     // index of the last record within its section
        int lastSection = 1;
        int endBytes = 0;
        std::vector<uint8_t> firstRecord;
        std::vector<uint8_t> lastRecord;
    };

    // Creates the file on the first line to write; false when there is none to write to.
    bool Ready();
    void FlushPending();
    void FlushBlock();
    void Dump(const uint8_t* data, size_t length, const char* indent);
    std::string Stamp(Clock::time_point at) const;

    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    CStatusFile m_place{std::string()};
    std::string m_path;     // set once checked
    std::string m_heading;  // written first, when the file is created
    bool m_lost = false;    // the file could not be created: Close says so
    std::unique_ptr<std::FILE, Closer> m_file;
    bool m_everyByte = false;
    Clock::time_point m_start{};
    std::vector<uint8_t> m_pending;  // the last write, until it is known whether it is records
    Clock::time_point m_pendingAt{};
    bool m_hasPending = false;
    Block m_block;
    CRecordWalk m_walk;
};

}  // namespace zorflash
