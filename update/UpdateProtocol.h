#pragma once

#include <cstdint>

namespace zorflash {

// The update protocol's constants, as the instrument expects them. The contract test
// pins these values: an accidental change must fail loudly.
namespace UpdateProtocol {
constexpr const char* kUpdateStartCommand = ":UP:EXEC";  // sent with CR LF, no reply
constexpr uint8_t kSyncByte = 0x55;                      // host -> instrument: start of the handshake
constexpr uint8_t kSyncReply = 0xAA;                     // instrument -> host: ready
constexpr const char* kIdentCommand = "MORVENAL";        // sent with CR LF
constexpr const char* kIdentReply = "MORVENAL\r\n";      // the instrument's 10-byte answer
constexpr uint32_t kIdentReplyLength = 10;
constexpr uint8_t kHeaderSizeByte = 0x38;                // 56, echoed by the instrument
constexpr uint8_t kAck = 0x59;                           // 'Y': header, START record or block accepted
constexpr uint8_t kEndByte = 0x00;                       // ends a record section
constexpr int kBlockRecords = 64;                        // records between acknowledgements after record 1
constexpr uint32_t kBlockBufferSize = 0x8000;            // 64 records of the longest length (512)
constexpr uint32_t kTransferTimeoutMs = 10000;           // every send and receive of a run, unless the front end shortens it
constexpr uint64_t kFirstRecordOffset = 56;              // records begin behind the header
}  // namespace UpdateProtocol

// Numbers of the update run's messages.
enum UpdateMessageId : unsigned {
    IDS_CANNOT_OPEN_TARGET = 61205,
    IDS_INVALID_ROM_TYPE = 61207,
    IDS_OPENING_FILE = 61208,
    IDS_DETECTING_TARGET = 61209,
    IDS_SETUP_FAILURE = 61210,
    IDS_NO_MORVENAL = 61211,
    IDS_SENDING_HEADER = 61212,
    IDS_HEADER_SIZE_FAILURE = 61213,
    IDS_INCORRECT_INPUT_FILE = 61214,
    IDS_HEADER_TRANSFER_ERROR = 61215,
    IDS_NO_END_RECORD = 61216,
    IDS_INCORRECT_CHECKSUM = 61217,
    IDS_SENDING_START = 61218,
    IDS_SENDING_RECORD = 61219,
    IDS_TRANSFER_COMPLETED = 61220,
    IDS_ABORTED_BY_INSTRUCTION = 61221,
    IDS_COMMUNICATION_ERROR = 61222,
    IDS_INSERT_DISK = 61223,
};

}  // namespace zorflash
