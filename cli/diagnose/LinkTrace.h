#pragma once

#include "link/LinkObserver.h"
#include "platform/StatusFile.h"
#include "update/SendLabel.h"
#include "update/UpdateSettings.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace zorflash {

class COutputQueue;

// `--trace FILE`: every byte sent and received on the link, with a monotonic timestamp,
// its direction and length, as a hex dump with the printable ASCII beside it: what a
// field engineer attaches to a report. The record stream between two replies of the
// instrument is summarised as one block (its writes, records, bytes, first and last
// record) unless every byte is wanted. The text goes through the command's output queue,
// so the update thread never waits on the file; a file that cannot keep up loses the
// detail of what came meanwhile, and a line in the trace says how much was left out.
// The target's run feeds it the link's events beside the link watch.
class CLinkTrace : public CLinkObserver {
public:
    // False with the reason when the file could not be created, is no regular file (a
    // FIFO would hold the run until someone reads it), is standard output or error, or is
    // one of `keep` (the update's own volumes: a trace must never overwrite the firmware
    // it is about to send). Creates nothing: the file is created, heading first, when the
    // link's first event is traced, so a target never started leaves none.
    bool Open(const std::string& path, bool everyByte, const std::vector<std::string>& keep, COutputQueue& output,
              std::string& error);
    // Trace text waiting for the file beyond which more is left out, in bytes.
    static constexpr std::size_t kBacklogLimit = 8u << 20;

    CLinkTrace() = default;
    ~CLinkTrace() override;
    CLinkTrace(const CLinkTrace&) = delete;
    CLinkTrace& operator=(const CLinkTrace&) = delete;
    bool IsOpen() const { return !m_path.empty(); }
    // Where the trace goes, as checked by Open: no other output of the run may be there.
    const CStatusFile& Place() const { return m_place; }
    // The first lines: what is sent where, and how to read the rest.
    void Heading(const UpdateSettings& settings);

    void OnLinkBytes(Direction direction, const uint8_t* data, uint32_t length, Clock::time_point at) override;
    void OnLinkFailure(Direction direction, uint32_t code, Clock::duration waited, Clock::time_point at) override;
    void OnLinkOpened(uint32_t error, Clock::duration waited, Clock::time_point at) override;
    void OnUsbSearch(const std::vector<UsbInstrument>& asked) override;
    // The write just traced belongs to the record stream and carries what `label` says.
    void RecordStream(const SendLabel& label);
    // Writes what is held back and closes the file once the writer has written it all;
    // `failureNote` goes to stderr if the file could not be created, or a write to it or
    // its close failed.
    void Close(const std::string& failureNote);

private:
    struct Block {
        Clock::time_point first{};
        Clock::time_point last{};
        uint64_t writes = 0;
        uint64_t bytes = 0;
        int section = 1;            // the section of its first write
        uint64_t firstIndex = 0;    // index of its first record within that section
        uint64_t records = 0;
        uint64_t lastIndex = 0;     // index of the last record within its section
        int lastSection = 1;
        int endBytes = 0;
        std::vector<uint8_t> firstRecord;
        std::vector<uint8_t> lastRecord;
    };

    // Something of the link that is no transfer (its open), at its time.
    void Event(const std::string& what, Clock::time_point at);
    // Creates the file on the first line to write; false when there is none to write to.
    bool Ready();
    // printf into the text not yet handed to the writer.
    void Print(const char* format, ...);
    // Hands what was printed to the writer, or leaves it out while the file lags behind.
    void Send(bool always = false);
    void FlushPending();
    void FlushBlock();
    // A heading line, then the bytes beneath it as hex and ASCII, 16 a row.
    void Dump(const std::string& heading, const uint8_t* data, size_t length);
    std::string Stamp(Clock::time_point at) const;

    CStatusFile m_place{std::string()};
    std::string m_path;     // set once checked
    std::string m_heading;  // written first, when the file is created
    bool m_lost = false;    // the file could not be created: Close says so
    std::FILE* m_file = nullptr;  // closed by the writer, after the last text for it
    COutputQueue* m_output = nullptr;
    std::string m_text;           // printed, not yet handed to the writer
    uint64_t m_leftOutEntries = 0;
    uint64_t m_leftOutBytes = 0;
    bool m_everyByte = false;
    Clock::time_point m_start{};
    std::vector<uint8_t> m_pending;  // the last write, until it is known whether it is records
    Clock::time_point m_pendingAt{};
    bool m_hasPending = false;
    Block m_block;
    uint64_t m_nextIndex = 0;  // the section's next record, as the labels so far count it
};

}  // namespace zorflash
