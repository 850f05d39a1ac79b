#pragma once

#include "platform/File.h"
#include "update/DeviceModel.h"
#include "update/RomKind.h"
#include "update/VolumeRefusal.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace zorflash {

// What the next read of the record stream found.
enum class RecordEvent {
    Record,       // a good record, stored whole with a NUL behind it
    End,          // END: the section is over
    VolumeEnded,  // volume 1 ran out: the section goes on in volume 2, behind its header
    BadRecord,    // a checksum mismatch, or a record cut short by the end of the file
    NoEndRecord,  // volume 2 ran out inside a section
};

// The one reader of an update file's record stream, across its volumes: the update job,
// `inspect` and the CLI's pre-check walk a file with it, so they cannot disagree about
// where a section ends or which volume comes next. File errors other than the end of a
// volume pass to the caller as CFileException.
class CRecordStream {
public:
    // Asked when a volume is missing or is not the right one, with what was found: true to
    // look again.
    using DiskPrompt = std::function<bool(const VolumeRefusal& refusal)>;

    CRecordStream(const DeviceModel& model, std::string filePath);

    // Opens volume 1 without testing its header line; false when the operator cancelled.
    bool OpenFirstVolume(const DiskPrompt& prompt);
    // The ROM kind volume 1's first line names, kRomKindUnchecked for none.
    RomKind DetectKind();
    // Volume 1's first line as DetectKind read it: a file of another model is named by it.
    const std::string& FirstLine() const { return m_firstLine; }
    // The 56 header bytes of volume 1; false when the volume is shorter. Leaves the
    // stream at the first record.
    bool ReadHeader(uint8_t* header);
    // Closes volume 1 and opens volume 2, whose header line must be the one of `kind`;
    // false when the operator cancelled. Leaves the stream at its first record.
    bool OpenNextVolume(RomKind kind, const DiskPrompt& prompt);

    // Reads the next record into buffer (room for 2 * 255 + 2 bytes and a NUL), or only
    // checks it when buffer is null. length is the record's size for Record, else 0.
    RecordEvent Next(uint8_t* buffer, uint32_t& length);

    void Close();

    // False once the open volume is no longer the file that was opened (rewritten since).
    bool VolumeUnchanged() const { return m_file.Unchanged(); }

    int Volume() const { return m_volume; }
    std::string VolumePath() const { return m_file.GetFilePath(); }
    // Where the next record begins in the current volume.
    uint64_t Offset() const { return m_offset; }

    // What a progress display counts towards: the record stream bytes (each volume less its
    // header) of volume 1 and of volume 2 once it is known, that is once it has been opened,
    // or found by its name with volume 1's header line when volume 1 was opened.
    uint64_t KnownStreamBytes() const { return m_streamBytes[0] + m_streamBytes[1]; }
    int KnownVolumes() const { return m_streamBytes[1] > 0 || m_volume == 2 ? 2 : 1; }

private:
    // Volume 2 as found by its name: its header line and record stream bytes, or nothing.
    struct Glimpse {
        std::string line;
        uint64_t streamBytes = 0;
    };

    bool OpenVolume(int volume, RomKind kind, const DiskPrompt& prompt);
    // The volume's file as the update accepts it: nothing when it is, else why not. The
    // file stays open only when it is accepted.
    std::optional<VolumeRefusal> TryVolume(int volume, RomKind kind, const std::string& name);
    Glimpse GlimpseVolumeTwo() const;
    uint64_t OpenStreamBytes() const;

    DeviceModel m_model;
    std::string m_filePath;
    CFile m_file;
    int m_volume = 0;
    uint64_t m_offset = 0;
    uint64_t m_streamBytes[2] = {0, 0};
    std::string m_firstLine;
};

}  // namespace zorflash
