#pragma once

#include "resources/strings/Language.h"
#include "update/RomKind.h"
#include "update/SendLabel.h"
#include "update/StatusLog.h"
#include "update/UpdateProgress.h"
#include "update/UpdateResult.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace zorflash {

class CDeviceLink;
class CRecordStream;
class CUpdateHost;
struct UpdateSettings;

// One firmware update: the host side of the update protocol. The worker builds one job
// per update and calls Run once. Every failure ends the run with one status message and
// an outcome; nothing is retried except the disk prompt, which the operator answers.
class CUpdateJob {
public:
    explicit CUpdateJob(CUpdateHost& host);
    ~CUpdateJob();
    CUpdateJob(const CUpdateJob&) = delete;
    CUpdateJob& operator=(const CUpdateJob&) = delete;

    UpdateResult Run();

    const CStatusLog& Log() const { return m_log; }

private:
    // What a step of the run asks next: nothing to go on, or the outcome to end with.
    using Ended = std::optional<UpdateOutcome>;

    UpdateOutcome RunSteps(uint8_t* block);
    Ended OpenFile(RomKind& kind);
    Ended OpenTarget();
    Ended Handshake();
    Ended SendHeader();
    UpdateOutcome SendRecordSections(uint8_t* block, RomKind kind);
    Ended SendSection(uint8_t* block, RomKind kind);
    // Sends what the block holds; its volume has been looked at.
    Ended FlushBlock(uint8_t* block, uint32_t& fill);
    Ended FlushAfterAck(uint8_t* block, uint32_t& fill);
    Ended AcknowledgeBlock(uint8_t* block, uint32_t& fill, int recordIndex);
    Ended CollectAck();  // the acknowledgement of the block last sent, if it is still awaited
    Ended OpenNextVolume(RomKind kind);

    // Sends data and expects one reply byte: a failed transfer is a communication error,
    // another reply is wrongReply.
    Ended Exchange(const uint8_t* data, uint32_t length, uint8_t expected, UpdateOutcome wrongReply,
                           unsigned wrongReplyMessage);
    bool SendBytes(const uint8_t* data, const SendLabel& label, bool recordStream);
    bool SendCommand(const char* command, UpdateStep step);
    SendLabel Label(UpdateStep step, uint64_t first, uint64_t last, uint32_t bytes) const;
    bool VolumeChanged();  // the open volume is no longer the file that was opened
    bool ReceiveBytes(uint8_t* buffer, uint32_t length);
    bool ReceiveAck();
    bool PromptForDisk(const VolumeRefusal& refusal);
    void ReportError(const std::string& text);
    void TellProgress();
    // Runs a call that waits for the operator; its time is not the transfer's.
    template <typename Wait>
    auto Waiting(Wait wait);

    void AppendMessage(unsigned id);
    UpdateOutcome End(UpdateOutcome outcome, unsigned id);  // the run's last message

    CUpdateHost& m_host;
    const UpdateSettings& m_settings;
    CStatusLog m_log;
    std::unique_ptr<CRecordStream> m_stream;
    std::unique_ptr<CDeviceLink> m_link;
    UpdateResult m_result;
    UpdateProgress m_progress;
    std::chrono::steady_clock::time_point m_started;
    std::chrono::steady_clock::duration m_waited{};
    Language m_language;
    std::string m_progressFormat;  // loaded once per run; each block only formats its number
    uint32_t m_timeout = 0;
    uint64_t m_blockRecords = 0;  // records in the block buffer, counted as written once it goes out
    uint64_t m_blockFirst = 0;    // the section's number of the block's first record
    uint32_t m_blockFirstBytes = 0;  // the size of the block's first record
    uint32_t m_blockLastAt = 0;      // where the block's last record begins
    bool m_ackPending = false;       // a block went out and its acknowledgement is not read yet
};

}  // namespace zorflash
