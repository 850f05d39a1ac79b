// Arbitrary volume contents through the engine's file side: the volume opener (volume
// number and header line checks, disk prompt), the header line reader and the record
// reader, across two volumes, with the buffers sized exactly as the engine promises to
// need so that the sanitizers see any byte written or read beyond them.
//
// Input: byte 0 chooses the model (bits 0-2), a second volume (bit 3) and the kind the
// opener checks (bits 4-5: unchecked, MAIN, SUB, PATTERN); with two volumes bytes 1-2
// (little-endian) split the rest into volume 1 and volume 2.

#include "FuzzHost.h"
#include "ScratchDir.h"

#include "platform/File.h"
#include "platform/FileException.h"
#include "update/DeviceModel.h"
#include "update/UpdateFileReader.h"
#include "update/UpdateJob.h"
#include "update/UpdateSettings.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

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
    static CScratchDir scratch;
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

    scratch.Write("fw1.bin", body, split);
    if (twoVolumes)
        scratch.Write("fw2.bin", body + split, bodySize - split);
    else
        scratch.Remove("fw2.bin");

    UpdateSettings settings;
    ApplyNewDocumentDefaults(settings);
    ApplyModelSelection(settings, modelIndex);
    settings.filePath = scratch.File("fw2.bin");  // volume 1 is still found by the rule
    CFuzzHost host(settings, 50);
    CUpdateJob job;
    job.m_pView = &host;

    const char* checkedLine =
        checkedKind < 0 ? nullptr : HeaderLineOf(settings.model, static_cast<RomKind>(checkedKind));
    auto file = std::make_unique<CFile>();
    try {
        const int opened = job.OpenVolume(*file, 1, settings.filePath, checkedKind);
        if ((opened == 0) != VolumeShouldOpen(body, split, 1, checkedLine))
            Fail("volume 1 opened against its number or header line");
        if (opened != 0) {
            if (host.Prompts() == 0 && host.Errors().empty())
                Fail("volume 1 refused without a prompt or an error");
            return 0;
        }

        // Header lines: at most 64 bytes, NUL-terminated, LF only as the last byte. The
        // first names the kind volume 2 must carry.
        auto line = std::make_unique<char[]>(kHeaderLineBufferSize);
        int kind = -1;
        file->Seek(0);
        for (int i = 0; i < 2; ++i) {
            job.ReadHeaderLine(*file, line.get());
            const size_t length = strnlen(line.get(), kHeaderLineBufferSize);
            if (length >= static_cast<size_t>(kHeaderLineBufferSize))
                Fail("header line not terminated within 65 bytes");
            const char* lf = static_cast<const char*>(std::memchr(line.get(), '\n', length));
            if (lf && lf != line.get() + length - 1)
                Fail("header line goes on past its LF");
            for (RomKind candidate : {kRomMain, kRomSub, kRomPattern}) {
                if (i == 0 && std::strcmp(line.get(), HeaderLineOf(settings.model, candidate)) == 0)
                    kind = candidate;
            }
        }

        auto record = std::make_unique<uint8_t[]>(kRecordBufferSize);
        file->Seek(kHeaderSize);
        size_t records = 0;
        for (int volume = 1, ends = 0; ends < 2;) {
            const int result = job.ReadRecord(*file, record.get());
            if (result == -2 || (result == -1 && volume == 2))
                break;
            if (result == -1) {
                file->Close();
                volume = 2;
                const char* line2 = kind < 0 ? nullptr : HeaderLineOf(settings.model, static_cast<RomKind>(kind));
                const int opened2 = job.OpenVolume(*file, 2, settings.filePath, kind);
                if ((opened2 == 0) != (twoVolumes && VolumeShouldOpen(body + split, bodySize - split, 2, line2)))
                    Fail("volume 2 opened against its number or header line");
                if (opened2 != 0)
                    break;
                file->Seek(kHeaderSize);
            } else if (result == 0) {
                ++ends;
            } else {
                CheckRecord(record.get(), result);
                // Every record consumes at least 4 bytes: more records than bytes is a loop.
                if (++records > size)
                    Fail("the reader does not advance");
            }
        }
    } catch (const CFileException&) {
        // A file error ends a run with the framework's report; it is no crash.
    }
    file->Close();
    return 0;
}
