// Arbitrary volume contents through the engine's file side: the record stream (volume
// number and header line checks, disk prompt, records across two volumes) and the header
// line reader, with the buffers sized exactly as the engine promises to need so that the
// sanitizers see any byte written or read beyond them.
//
// Input: byte 0 chooses the model (bits 0-2), a second volume (bit 3) and the kind volume
// 2 is checked against (bits 4-5: unchecked, MAIN, SUB, PATTERN); with two volumes bytes
// 1-2 (little-endian) split the rest into volume 1 and volume 2.

#include "UpdateFileBuilder.h"

#include "platform/File.h"
#include "platform/FileException.h"
#include "update/DeviceModel.h"
#include "update/UpdateFileReader.h"
#include "update/RecordStream.h"
#include "update/UpdateSettings.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

using namespace zorflash;

namespace {

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "record reader: %s\n", what);
    std::abort();
}

// What the opener must decide for one volume, worked out from the bytes alone.
bool VolumeShouldOpen(const uint8_t* data, size_t size, int volume, const char* headerLine)
{
    if (size < 50)
        return false;
    const char digits[3] = {static_cast<char>(data[48]), static_cast<char>(data[49]), 0};
    if (std::strtol(digits, nullptr, 10) != volume)
        return false;
    return !headerLine || (size >= 32 && std::memcmp(data, headerLine, 32) == 0);
}

// Whatever the chosen name, the volume's name has its length and differs from it in at
// most the one character that became the volume's digit. (Which character that is, the
// opener checks: volume 1 is found from the name of volume 2.)
void CheckVolumeName(const std::string& chosen, int volume)
{
    std::string name;
    MakeVolumeFileName(volume, chosen, name);
    if (name.size() != chosen.size())
        Fail("volume name changed length");
    int changed = 0;
    for (size_t i = 0; i < chosen.size(); ++i) {
        if (name[i] != chosen[i] && (++changed > 1 || name[i] != '0' + (volume & 15)))
            Fail("volume name differs from the chosen one in more than the volume's digit");
    }
}

void CheckRecord(const uint8_t* record, int length)
{
    if (length < 4 || length > 512 || length % 2 != 0 || record[0] * 2 + 2 != length)
        Fail("record length does not match its length byte");
    unsigned sum = 0;
    for (int i = 1; i <= length - 2; ++i)
        sum += record[i];
    if (record[length - 1] != static_cast<uint8_t>(sum))
        Fail("a record with a wrong checksum was accepted");
    if (record[length] != 0)
        Fail("no NUL behind a good record");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const testsupport::TempDir scratch(true);
    if (size < 3)
        return 0;
    const uint8_t flags = data[0];
    const int modelIndex = (flags & 7) % kDeviceModelCount;
    const bool twoVolumes = (flags & 0x08) != 0;
    const int checkedKind = ((flags >> 4) & 3) - 1;
    const uint8_t* body = data + 3;
    const size_t bodySize = size - 3;
    size_t split = bodySize;
    if (twoVolumes)
        split = std::min<size_t>(bodySize, data[1] | (data[2] << 8));

    for (int volume : {2, 17})
        CheckVolumeName(std::string(reinterpret_cast<const char*>(body), std::min<size_t>(bodySize, 40)), volume);

    testsupport::WriteFile(scratch / "fw1.bin", testsupport::Bytes(body, body + split));
    if (twoVolumes)
        testsupport::WriteFile(scratch / "fw2.bin", testsupport::Bytes(body + split, body + bodySize));
    else
        std::remove((scratch / "fw2.bin").c_str());

    UpdateSettings settings;
    ApplyNewDocumentDefaults(settings);
    ApplyModelSelection(settings, modelIndex);
    settings.filePath = scratch / "fw2.bin";  // volume 1 is still found by the rule
    size_t prompts = 0;
    const auto decline = [&prompts](const VolumeRefusal& refusal) {
        ++prompts;
        if (refusal.numberText.size() > 2 ||
            (refusal.kind == VolumeRefusal::Kind::WrongHeaderLine && refusal.volume != 2))
            Fail("a refusal that cannot be");
        return false;
    };
    const RomKind checkedKind2 = static_cast<RomKind>(checkedKind);
    const char* checkedLine = checkedKind < 0 ? nullptr : HeaderLineOf(settings.model, checkedKind2);
    CRecordStream stream(settings.model, settings.filePath);
    auto header = std::make_unique<uint8_t[]>(kHeaderSize);
    try {
        const bool opened = stream.OpenFirstVolume(decline);
        if (opened != VolumeShouldOpen(body, split, 1, nullptr))
            Fail("volume 1 opened against its number");
        if (!opened) {
            if (prompts == 0)
                Fail("volume 1 refused without a prompt");
            return 0;
        }

        // Header lines: at most 64 bytes, NUL-terminated, LF only as the last byte.
        CFile file;
        if (!file.Open(stream.VolumePath()))
            Fail("volume 1 opened once but not twice");
        auto line = std::make_unique<char[]>(kHeaderLineBufferSize);
        for (int i = 0; i < 2; ++i) {
            ReadHeaderLine(file, line.get());
            const size_t length = strnlen(line.get(), kHeaderLineBufferSize);
            if (length >= static_cast<size_t>(kHeaderLineBufferSize))
                Fail("header line not terminated within 65 bytes");
            const char* lf = static_cast<const char*>(std::memchr(line.get(), '\n', length));
            if (lf && lf != line.get() + length - 1)
                Fail("header line goes on past its LF");
        }
        file.Close();

        // The walk of an update, reading every record into `record`, or only checking it
        // (null), as the pre-check does: what each event and length was, in order.
        const auto walk = [&](CRecordStream& from, uint8_t* record) {
            std::vector<std::pair<RecordEvent, uint32_t>> events;
            if (!from.ReadHeader(header.get()))
                return events;
            size_t records = 0;
            for (int ends = 0; ends < 2;) {
                uint32_t length = 0;
                const RecordEvent event = from.Next(record, length);
                events.emplace_back(event, length);
                if (event == RecordEvent::BadRecord || event == RecordEvent::NoEndRecord)
                    break;
                if (event == RecordEvent::VolumeEnded) {
                    const bool opened2 = from.OpenNextVolume(checkedKind2, decline);
                    if (opened2 != (twoVolumes && VolumeShouldOpen(body + split, bodySize - split, 2, checkedLine)))
                        Fail("volume 2 opened against its number or header line");
                    if (!opened2)
                        break;
                } else if (event == RecordEvent::End) {
                    ++ends;
                } else {
                    if (record)
                        CheckRecord(record, static_cast<int>(length));
                    // Every record consumes at least 4 bytes: more records than bytes is a loop.
                    if (++records > size)
                        Fail("the reader does not advance");
                }
            }
            return events;
        };
        auto record = std::make_unique<uint8_t[]>(kRecordBufferSize);
        const auto read = walk(stream, record.get());
        // A check that passed a record the reading refuses would let a bad file reach
        // an instrument: both must judge every record alike.
        CRecordStream checking(settings.model, settings.filePath);
        if (!checking.OpenFirstVolume(decline))
            Fail("volume 1 opened once but not twice");
        if (walk(checking, nullptr) != read)
            Fail("checking the records without keeping them judged them otherwise");
    } catch (const CFileException&) {
        // A file error ends a run with the framework's report; it is no crash.
    }
    stream.Close();
    return 0;
}
