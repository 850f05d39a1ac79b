#include "update/UpdateFileReader.h"

#include "platform/File.h"
#include "platform/FileException.h"
#include "platform/PathText.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

namespace zorflash {

void MakeVolumeFileName(int volume, const std::string& fileName, std::string& volumeFileName)
{
    volumeFileName = fileName;
    if (volumeFileName.empty())
        return;
    const char digit = static_cast<char>((volume & 15) + 0x30);
    const size_t dot = volumeFileName.rfind('.');
    if (dot == std::string::npos)
        volumeFileName.back() = digit;
    else if (dot > 0)
        volumeFileName[dot - 1] = digit;
}

void ReadHeaderLine(CFile& file, char* buffer)
{
    int stored = 0;
    while (stored < kHeaderLineBufferSize - 1) {
        char byte = 0;
        if (file.Read(&byte, 1) != 1)
            break;
        buffer[stored++] = byte;
        if (byte == '\n')
            break;
    }
    buffer[stored] = '\0';
}

namespace {

// Only the low 8 bits of the sum count, and byte additions wrap at 8 bits by themselves:
// sixteen bytes are added at a time into sixteen byte lanes (one vector add on any target
// the compiler knows), and the lanes are added up at the end. The last, partial step loads
// sixteen bytes too and keeps only its own: a byte loop there cost a mispredicted branch
// or two on every record. `data` must be followed by CFile::kReadSlack readable bytes.
uint8_t LowByteOfSum(const uint8_t* data, uint32_t count)
{
    using ByteLanes = uint8_t __attribute__((vector_size(16)));
    static_assert(sizeof(ByteLanes) <= CFile::kReadSlack);
    // Sixteen bytes kept, then sixteen dropped: the mask of a step that keeps n bytes
    // starts 16 - n bytes in.
    static constexpr uint8_t kKeep[32] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                          0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    ByteLanes lanes = {};
    uint32_t i = 0;
    for (; i + sizeof(ByteLanes) <= count; i += sizeof(ByteLanes)) {
        ByteLanes bytes;
        std::memcpy(&bytes, data + i, sizeof bytes);
        lanes += bytes;
    }
    ByteLanes bytes;
    ByteLanes keep;
    std::memcpy(&bytes, data + i, sizeof bytes);
    std::memcpy(&keep, kKeep + sizeof(ByteLanes) - (count - i), sizeof keep);
    lanes += bytes & keep;
    uint8_t sum = 0;
    for (size_t lane = 0; lane < sizeof(ByteLanes); ++lane)
        sum = static_cast<uint8_t>(sum + lanes[lane]);
    return sum;
}

}  // namespace

int ReadRecord(CFile& file, uint8_t* buffer)
{
    try {
        uint32_t available = 0;
        const uint8_t* at = file.Peek(1, available);
        if (available == 0)
            return kRecordEndOfFile;
        const uint8_t length = *at;
        file.Skip(1);
        if (length == 0)
            return 0;
        // The record is checked where the file's buffer holds it and copied once, to its
        // place; a check alone copies nothing. A record cut short by the end of the file
        // is a bad record: completing it with invented bytes could pass the checksum and
        // put them on the instrument.
        const uint32_t dataBytes = 2u * length;
        at = file.Peek(dataBytes + 1, available);
        file.Skip(available);
        const bool good = available == dataBytes + 1 && at[dataBytes] == LowByteOfSum(at, dataBytes);
        if (buffer) {
            // A bad record's data are kept as read; its checksum byte is not.
            buffer[0] = length;
            std::memcpy(buffer + 1, at, good ? dataBytes + 1 : std::min(available, dataBytes));
            if (good)
                buffer[dataBytes + 2] = 0;
        }
        return good ? static_cast<int>(dataBytes + 2) : kRecordBad;
    } catch (const CFileException& e) {
        if (e.m_cause == CFileException::endOfFile)
            return kRecordEndOfFile;
        throw;
    }
}

RomKind DetectRomKind(const DeviceModel& model, const char* firstLine)
{
    for (RomKind candidate : {kRomMain, kRomSub, kRomPattern}) {
        const char* expected = HeaderLineOf(model, candidate);
        if (expected && std::strcmp(firstLine, expected) == 0)
            return candidate;
    }
    return kRomKindUnchecked;
}

const DeviceModel* FindModelOfHeaderLine(const char* firstLine, RomKind* kind)
{
    for (int i = 0; g_deviceModelTable[i].displayName; ++i) {
        const RomKind found = DetectRomKind(g_deviceModelTable[i], firstLine);
        if (found != kRomKindUnchecked) {
            if (kind)
                *kind = found;
            return &g_deviceModelTable[i];
        }
    }
    return nullptr;
}

}  // namespace zorflash
