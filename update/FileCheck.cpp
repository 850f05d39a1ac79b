#include "update/FileCheck.h"

#include "platform/FileException.h"
#include "platform/StringResource.h"
#include "update/RecordStream.h"
#include "update/StatusLog.h"
#include "update/StatusText.h"
#include "update/UpdateFileReader.h"
#include "update/UpdateProtocol.h"

namespace zorflash {

namespace {

const char* KindName(int kind)
{
    switch (kind) {
    case kRomMain:
        return "MAIN";
    case kRomSub:
        return "SUB";
    case kRomPattern:
        return "PATTERN";
    default:
        return "";
    }
}

// One inspection: the stream, the report it fills and the language of the update's messages.
class CInspection {
public:
    CInspection(const UpdateSettings& settings, Language language, CFileCheck::Report& report)
        : m_settings(settings)
        , m_language(language)
        , m_report(report)
        , m_stream(settings.model, settings.filePath)
    {
    }

    void Run();

private:
    // A missing volume is not asked for: the prompt the update would show is the problem.
    bool DeclineDisk(const VolumeRefusal& refusal)
    {
        m_prompt = FormatStringResource(m_language, IDS_INSERT_DISK, refusal.volume);
        m_refusal = refusal;
        return false;
    }
    void VolumeMissing(int volume);
    // Opens volume 1 (kind unchecked) or the next volume; false when it is not there, with
    // the problem reported. A file error on the way is the problem, as the update reports it.
    bool OpenVolume(RomKind kind);
    void Problem(UpdateOutcome outcome, unsigned id, CFileCheck::Place place)
    {
        m_report.problem = WithoutLineEnds(LoadStringResource(id, m_language));
        m_report.place = place;
        m_report.outcome = outcome;
        m_report.statusId = id;
    }
    // False when the section ended the inspection with a problem.
    bool ReadSection(RomKind kind);

    const UpdateSettings& m_settings;
    Language m_language;
    CFileCheck::Report& m_report;
    CRecordStream m_stream;
    std::string m_prompt;
    std::optional<VolumeRefusal> m_refusal;
    bool m_fileError = false;
};

void CInspection::VolumeMissing(int volume)
{
    MakeVolumeFileName(volume, m_settings.filePath, m_report.path);
    m_report.problem = m_prompt;
    m_report.place = CFileCheck::Place::VolumeMissing;
    m_report.volume = volume;
    // The update ends either way with the message of an aborted prompt; only a volume that
    // is simply not there (not a file error) is one the operator could still bring.
    m_report.statusId = IDS_ABORTED_BY_INSTRUCTION;
    m_report.outcome = m_fileError ? UpdateOutcome::FileError : UpdateOutcome::Cancelled;
    if (!m_fileError)
        m_report.asked = m_refusal;
}

bool CInspection::OpenVolume(RomKind kind)
{
    const int volume = kind == kRomKindUnchecked ? 1 : 2;
    const auto decline = [this](const VolumeRefusal& refusal) { return DeclineDisk(refusal); };
    bool opened = false;
    try {
        opened = volume == 1 ? m_stream.OpenFirstVolume(decline) : m_stream.OpenNextVolume(kind, decline);
    } catch (const CFileException& e) {
        m_prompt = e.GetErrorMessage(m_language);
        m_fileError = true;
    }
    if (!opened) {
        VolumeMissing(volume);
        return false;
    }
    m_report.volumePaths.push_back(m_stream.VolumePath());
    return true;
}

void CInspection::Run()
{
    if (!OpenVolume(kRomKindUnchecked))
        return;

    const RomKind kind = m_stream.DetectKind();
    if (kind == kRomKindUnchecked) {
        RomKind other = kRomKindUnchecked;
        if (const DeviceModel* model = FindModelOfHeaderLine(m_stream.FirstLine().c_str(), &other)) {
            m_report.otherModel = model->displayName;
            m_report.otherKind = KindName(other);
        }
        Problem(UpdateOutcome::InvalidRomType, IDS_INVALID_ROM_TYPE, CFileCheck::Place::HeaderLine);
        return;
    }
    m_report.kind = KindName(kind);

    uint8_t record[kRecordBufferSize];
    if (!m_stream.ReadHeader(record)) {
        Problem(UpdateOutcome::IncorrectInputFile, IDS_INCORRECT_INPUT_FILE, CFileCheck::Place::ShortHeader);
        return;
    }
    const size_t sectionsNeeded = kind == kRomSub ? 2 : 1;
    while (m_report.sections.size() < sectionsNeeded) {
        if (!ReadSection(kind))
            return;
    }
    m_report.complete = true;
}

bool CInspection::ReadSection(RomKind kind)
{
    CFileCheck::Section section;
    uint64_t index = 0;
    for (;;) {
        const uint64_t offset = m_stream.Offset();
        uint32_t length = 0;
        switch (m_stream.Next(nullptr, length)) {  // checked, not kept
        case RecordEvent::Record:
            ++section.records;
            section.bytes += length;
            ++index;
            continue;
        case RecordEvent::End:
            section.bytes += 1;
            m_report.sections.push_back(section);
            return true;
        case RecordEvent::BadRecord:
            m_report.sections.push_back(section);
            Problem(UpdateOutcome::IncorrectChecksum, IDS_INCORRECT_CHECKSUM, CFileCheck::Place::Record);
            m_report.record = index;
            m_report.volume = m_stream.Volume();
            m_report.offset = offset;
            return false;
        case RecordEvent::NoEndRecord:
            m_report.sections.push_back(section);
            Problem(UpdateOutcome::NoEndRecord, IDS_NO_END_RECORD, CFileCheck::Place::EndsWithVolume2);
            return false;
        case RecordEvent::VolumeEnded:
            if (!OpenVolume(kind)) {
                m_report.sections.push_back(section);
                return false;
            }
            continue;
        }
    }
}

}  // namespace

uint64_t CFileCheck::Report::Records() const
{
    uint64_t records = 0;
    for (const Section& s : sections)
        records += s.records;
    return records;
}

uint64_t CFileCheck::Report::Bytes() const
{
    uint64_t bytes = 0;
    for (const Section& s : sections)
        bytes += s.bytes;
    return bytes;
}

CFileCheck::Report CFileCheck::Inspect(const UpdateSettings& settings, Language language)
{
    Report report;
    try {
        CInspection(settings, language, report).Run();
    } catch (const CFileException& e) {
        report.problem = e.GetErrorMessage(language);
        report.place = Place::Reading;
        report.outcome = UpdateOutcome::FileError;
    }
    return report;
}

void CFileCheck::LogRefusal(const Report& report, CUpdateHost& host, Language language)
{
    CStatusLog log(host);
    log.Append(LoadStringResource(IDS_OPENING_FILE, language), IDS_OPENING_FILE);
    log.End(report.outcome, report.statusId, language);
}

std::vector<std::string> CFileCheck::VolumePaths(const std::string& filePath)
{
    std::vector<std::string> paths;
    for (int volume = 1; volume <= 2; ++volume) {
        std::string name;
        MakeVolumeFileName(volume, filePath, name);
        paths.push_back(name);
    }
    paths.push_back(filePath);
    return paths;
}

}  // namespace zorflash
