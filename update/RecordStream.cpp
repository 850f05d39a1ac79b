#include "update/RecordStream.h"

#include "platform/DecimalText.h"
#include "platform/FileException.h"
#include "platform/LastError.h"
#include "update/UpdateFileReader.h"
#include "update/UpdateProtocol.h"

#include <cstring>

namespace zorflash {

CRecordStream::CRecordStream(const DeviceModel& model, std::string filePath)
    : m_model(model)
    , m_filePath(std::move(filePath))
{
}

bool CRecordStream::OpenFirstVolume(const DiskPrompt& prompt)
{
    // Volume 2 is looked at before volume 1 is open, so a run never holds two of them.
    const Glimpse next = GlimpseVolumeTwo();
    m_streamBytes[0] = m_streamBytes[1] = 0;
    if (!OpenVolume(1, kRomKindUnchecked, prompt))
        return false;
    m_streamBytes[0] = OpenStreamBytes();
    if (next.streamBytes > 0) {
        char line[kHeaderLineBufferSize] = {};
        m_file.Seek(0);
        ReadHeaderLine(m_file, line);
        if (next.line == line)
            m_streamBytes[1] = next.streamBytes;
    }
    return true;
}

bool CRecordStream::OpenNextVolume(RomKind kind, const DiskPrompt& prompt)
{
    m_file.Close();
    // Until it is open, volume 2 counts only if it was found at the start.
    if (!OpenVolume(2, kind, prompt))
        return false;
    m_streamBytes[1] = OpenStreamBytes();
    m_file.Seek(UpdateProtocol::kFirstRecordOffset);
    m_offset = UpdateProtocol::kFirstRecordOffset;
    return true;
}

uint64_t CRecordStream::OpenStreamBytes() const
{
    const uint64_t length = m_file.GetLength();
    return length > static_cast<uint64_t>(kHeaderSize) ? length - kHeaderSize : 0;
}

CRecordStream::Glimpse CRecordStream::GlimpseVolumeTwo() const
{
    // Only for the display's total: whatever goes wrong here, the volume is not counted,
    // and the update itself opens and checks it when its turn comes.
    Glimpse glimpse;
    const uint32_t lastError = GetLastError();
    try {
        std::string name;
        MakeVolumeFileName(2, m_filePath, name);
        CFile file;
        char digits[3] = {};
        if (file.Open(name)) {
            file.Seek(kVolumeNumberOffset);
            if (file.Read(digits, 2) == 2 && ReadDecimalPrefix(digits).value == 2) {
                char line[kHeaderLineBufferSize] = {};
                file.Seek(0);
                ReadHeaderLine(file, line);
                glimpse.line = line;
                const uint64_t length = file.GetLength();
                glimpse.streamBytes = length > static_cast<uint64_t>(kHeaderSize) ? length - kHeaderSize : 0;
            }
        }
    } catch (const CFileException&) {
        glimpse = Glimpse();
    }
    SetLastError(lastError);
    return glimpse;
}

bool CRecordStream::OpenVolume(int volume, RomKind kind, const DiskPrompt& prompt)
{
    m_volume = volume;
    std::string volumeName;
    MakeVolumeFileName(volume, m_filePath, volumeName);
    for (;;) {
        const std::optional<VolumeRefusal> refusal = TryVolume(volume, kind, volumeName);
        if (!refusal)
            return true;
        if (!prompt(*refusal))
            return false;
    }
}

std::optional<VolumeRefusal> CRecordStream::TryVolume(int volume, RomKind kind, const std::string& name)
{
    VolumeRefusal refusal;
    refusal.volume = volume;
    refusal.path = name;
    if (!m_file.Open(name)) {
        const uint32_t error = GetLastError();
        refusal.kind = error == kErrorFileNotFound ? VolumeRefusal::Kind::Missing : VolumeRefusal::Kind::Unreadable;
        refusal.systemError = error;
        return refusal;
    }
    // A file too short to hold the two digits is simply the wrong volume.
    char digits[3] = {};
    m_file.Seek(kVolumeNumberOffset);
    const uint32_t got = m_file.Read(digits, 2);
    if (got != 2 || ReadDecimalPrefix(digits).value != volume) {
        refusal.kind = VolumeRefusal::Kind::WrongNumber;
        refusal.numberText.assign(digits, got);
        m_file.Close();
        return refusal;
    }
    if (kind == kRomKindUnchecked)
        return std::nullopt;
    char line[kHeaderLineBufferSize] = {};
    m_file.Seek(0);
    ReadHeaderLine(m_file, line);
    const char* expected = HeaderLineOf(m_model, kind);
    if (expected && std::strcmp(line, expected) == 0)
        return std::nullopt;
    refusal.kind = VolumeRefusal::Kind::WrongHeaderLine;
    m_file.Close();
    return refusal;
}

RomKind CRecordStream::DetectKind()
{
    char line[kHeaderLineBufferSize] = {};
    m_file.Seek(0);
    ReadHeaderLine(m_file, line);
    m_firstLine = line;
    return DetectRomKind(m_model, line);
}

bool CRecordStream::ReadHeader(uint8_t* header)
{
    m_file.Seek(0);
    if (m_file.Read(header, kHeaderSize) != static_cast<uint32_t>(kHeaderSize))
        return false;
    m_offset = kHeaderSize;
    return true;
}

RecordEvent CRecordStream::Next(uint8_t* buffer, uint32_t& length)
{
    length = 0;
    const int read = ReadRecord(m_file, buffer);
    if (read == kRecordBad)
        return RecordEvent::BadRecord;
    if (read == kRecordEndOfFile)
        return m_volume == 1 ? RecordEvent::VolumeEnded : RecordEvent::NoEndRecord;
    if (read == 0) {
        m_offset += 1;
        return RecordEvent::End;
    }
    length = static_cast<uint32_t>(read);
    m_offset += length;
    return RecordEvent::Record;
}

void CRecordStream::Close()
{
    m_file.Close();
}

}  // namespace zorflash
