#include "update/SendLabel.h"

#include "update/UpdateFileReader.h"
#include "update/UpdateProtocol.h"

#include <cstdio>

namespace zorflash {

namespace {

std::string Hex(uint8_t byte)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", byte);
    return text;
}

// A command or reply as a C string literal would show it: CR and LF escaped.
std::string Quoted(const char* text)
{
    std::string shown = "\"";
    for (const char* c = text; *c; ++c)
        shown += *c == '\r' ? "\\r" : *c == '\n' ? "\\n" : std::string(1, *c);
    return shown + "\"";
}

}  // namespace

std::string SendLabel::Describe() const
{
    using namespace UpdateProtocol;
    const std::string ofSection = " of section " + std::to_string(section);
    switch (step) {
    case UpdateStep::UpdateStart: return "the update command " + std::string(kUpdateStartCommand);
    case UpdateStep::Sync: return "the sync byte " + Hex(kSyncByte);
    case UpdateStep::Identification: return "the identification " + std::string(kIdentCommand);
    case UpdateStep::HeaderSize: return "the header size " + Hex(kHeaderSizeByte);
    case UpdateStep::Header: return "the " + std::to_string(kHeaderSize) + "-byte header";
    case UpdateStep::StartRecord: return "the START record" + ofSection;
    case UpdateStep::Records:
        return (firstRecord == lastRecord
                    ? "record " + std::to_string(firstRecord)
                    : "records " + std::to_string(firstRecord) + ".." + std::to_string(lastRecord)) +
               ofSection;
    case UpdateStep::EndRecord: return "the END byte" + ofSection;
    default: break;
    }
    return "a write of " + std::to_string(bytes) + " bytes";
}

std::string SendLabel::ExpectedReply() const
{
    using namespace UpdateProtocol;
    switch (step) {
    case UpdateStep::Sync: return Hex(kSyncReply);
    case UpdateStep::Identification: return Quoted(kIdentReply);
    case UpdateStep::HeaderSize: return "the echo " + Hex(kHeaderSizeByte);
    default: return Hex(kAck) + " (" + static_cast<char>(kAck) + ")";
    }
}

}  // namespace zorflash
