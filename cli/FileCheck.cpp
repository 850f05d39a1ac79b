#include "cli/FileCheck.h"

#include "platform/File.h"
#include "platform/FileException.h"
#include "platform/StringResource.h"
#include "update/UpdateFileReader.h"
#include "update/UpdateHost.h"
#include "update/UpdateJob.h"
#include "update/UpdateProtocol.h"

#include <cstring>

namespace {
// Answers the disk prompt with Cancel and keeps what would have been asked.
class CCheckHost : public CUpdateHost {
public:
    explicit CCheckHost(const UpdateSettings& settings) : m_settings(settings) {}
    const UpdateSettings& Settings() const override { return m_settings; }
    int StatusGetTextLength() override { return 0; }
    void StatusSetSel(int, int) override {}
    void StatusScrollCaret() override {}
    void StatusReplaceSel(const std::string&) override {}
    int StatusLineFromChar(int) override { return 0; }
    int StatusLineIndex(int) override { return 0; }
    void StatusSetText(const std::string&) override {}
    bool PromptOkCancel(const std::string& text) override
    {
        prompt = text;
        return false;
    }
    void ReportError(const std::string& text) override { error = text; }
    void PostUpdateFinished() override {}

    std::string prompt;
    std::string error;

private:
    const UpdateSettings& m_settings;
};

std::string Trimmed(std::string text)
{
    while (!text.empty() && (text.front() == '\r' || text.front() == '\n'))
        text.erase(text.begin());
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n'))
        text.pop_back();
    return text;
}

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
}  // namespace

CFileCheck::Report CFileCheck::Inspect(const UpdateSettings& settings)
{
    Report report;
    CCheckHost host(settings);
    CUpdateJob job;
    job.m_pView = &host;
    CFile file;

    auto openFailed = [&](int volume) {
        std::string name;
        MakeVolumeFileName(volume, settings.filePath, name);
        report.problem = host.error.empty() ? host.prompt : host.error;
        report.statusId = IDS_ABORTED_BY_INSTRUCTION;
        report.missingVolume = volume;
        report.where = "volume " + std::to_string(volume) + " (" + name + ") is missing, unreadable or not volume " +
                       std::to_string(volume) + " of this file";
    };

    try {
        if (job.OpenVolume(file, 1, settings.filePath, kRomKindUnchecked) != 0) {
            openFailed(1);
            return report;
        }
        report.volumePaths.push_back(file.GetFilePath());

        char line[kHeaderLineBufferSize] = {};
        file.Seek(0);
        job.ReadHeaderLine(file, line);
        const int kind = DetectRomKind(settings.model, line);
        if (kind < 0) {
            report.problem = Trimmed(LoadStringResource(IDS_INVALID_ROM_TYPE));
            report.statusId = IDS_INVALID_ROM_TYPE;
            report.where = std::string("the first line matches no header line of ") + settings.model.displayName;
            return report;
        }
        report.kind = KindName(kind);

        uint8_t record[kRecordBufferSize];
        file.Seek(0);
        if (file.Read(record, kHeaderSize) != static_cast<uint32_t>(kHeaderSize)) {
            report.problem = Trimmed(LoadStringResource(IDS_INCORRECT_INPUT_FILE));
            report.statusId = IDS_INCORRECT_INPUT_FILE;
            report.where = "volume 1 is shorter than its 56-byte header";
            return report;
        }

        const int sectionsNeeded = kind == kRomSub ? 2 : 1;
        int volume = 1;
        uint64_t offset = UpdateProtocol::kFirstRecordOffset;
        while (static_cast<int>(report.sections.size()) < sectionsNeeded) {
            Section section;
            uint64_t index = 0;
            for (;;) {
                const int length = job.ReadRecord(file, record);
                if (length == -2) {
                    report.sections.push_back(section);
                    report.problem = Trimmed(LoadStringResource(IDS_INCORRECT_CHECKSUM));
                    report.statusId = IDS_INCORRECT_CHECKSUM;
                    report.where = "section " + std::to_string(report.sections.size()) + ", record " +
                                   std::to_string(index) + " (volume " + std::to_string(volume) + ", offset " +
                                   std::to_string(offset) + ")";
                    return report;
                }
                if (length == -1) {
                    if (volume == 2) {
                        report.sections.push_back(section);
                        report.problem = Trimmed(LoadStringResource(IDS_NO_END_RECORD));
                        report.statusId = IDS_NO_END_RECORD;
                        report.where = "section " + std::to_string(report.sections.size()) + " ends with volume 2";
                        return report;
                    }
                    file.Close();
                    volume = 2;
                    if (job.OpenVolume(file, 2, settings.filePath, kind) != 0) {
                        report.sections.push_back(section);
                        openFailed(2);
                        return report;
                    }
                    report.volumePaths.push_back(file.GetFilePath());
                    file.Seek(UpdateProtocol::kFirstRecordOffset);
                    offset = UpdateProtocol::kFirstRecordOffset;
                    continue;
                }
                if (length == 0) {
                    section.bytes += 1;
                    offset += 1;
                    break;
                }
                ++section.records;
                section.bytes += static_cast<uint64_t>(length);
                offset += static_cast<uint64_t>(length);
                ++index;
            }
            report.sections.push_back(section);
        }
        report.complete = true;
    } catch (const CFileException& e) {
        report.problem = e.GetErrorMessage();
        report.where = "reading the file";
    }
    return report;
}
