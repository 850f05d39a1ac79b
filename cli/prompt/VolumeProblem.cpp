#include "cli/prompt/VolumeProblem.h"

#include "platform/File.h"
#include "platform/FileException.h"
#include "platform/DecimalText.h"
#include "platform/LastError.h"
#include "update/UpdateFileReader.h"

#include <cerrno>
#include <cstring>

namespace zorflash {

namespace {
int KindOfVolumeOne(const UpdateSettings& settings)
{
    std::string name;
    MakeVolumeFileName(1, settings.filePath, name);
    CFile file;
    if (!file.Open(name))
        return kRomKindUnchecked;
    try {
        char line[kHeaderLineBufferSize] = {};
        ReadHeaderLine(file, line);
        return DetectRomKind(settings.model, line);
    } catch (const CFileException&) {
        return kRomKindUnchecked;
    }
}
}  // namespace

CVolumeProblem::Finding CVolumeProblem::Check(const UpdateSettings& settings, int volume)
{
    Finding finding;
    finding.volume = volume;
    MakeVolumeFileName(volume, settings.filePath, finding.path);
    CFile file;
    if (!file.Open(finding.path)) {
        const uint32_t error = GetLastError();
        finding.kind = error == ENOENT ? kMissing : kUnreadable;
        finding.reason = error == ENOENT ? std::string("missing") : std::string("not readable: ") + DescribeError(error);
        return finding;
    }
    try {
        char digits[3] = {};
        file.Seek(kVolumeNumberOffset);
        if (file.Read(digits, 2) != 2 || ReadDecimalPrefix(digits).value != volume) {
            finding.kind = kWrongVolume;
            std::string shown;
            for (char c : std::string(digits))
                shown += (c >= 0x20 && c < 0x7F) ? c : '?';
            finding.reason = "wrong volume number: its header says \"" + shown + "\", not \"0" +
                             std::to_string(volume) + "\"";
            return finding;
        }
        if (volume == 1)
            return finding;  // volume 1 is opened without a kind; its first line is judged later
        const int kind = KindOfVolumeOne(settings);
        char line[kHeaderLineBufferSize] = {};
        file.Seek(0);
        ReadHeaderLine(file, line);
        const char* expected = kind < 0 ? nullptr : HeaderLineOf(settings.model, static_cast<RomKind>(kind));
        if (!expected || std::strcmp(line, expected) != 0) {
            finding.kind = kWrongModelOrKind;
            finding.reason = std::string("wrong model or kind: its first line is not the one of volume 1 (") +
                             settings.model.displayName + ")";
        }
    } catch (const CFileException& e) {
        finding.kind = kUnreadable;
        finding.reason = "not readable: " + e.GetErrorMessage(Language::English);  // stderr speaks English
    }
    return finding;
}

CVolumeProblem::Finding CVolumeProblem::Asked(const UpdateSettings& settings)
{
    Finding first = Check(settings, 1);
    return first.kind != kNone ? first : Check(settings, 2);
}

std::string CVolumeProblem::Describe(const Finding& finding)
{
    const std::string volume = "volume " + std::to_string(finding.volume);
    if (finding.kind == kMissing)
        return volume + " not found: " + finding.path;
    return volume + " " + finding.path + ": " + (finding.reason.empty() ? "present" : finding.reason);
}

}  // namespace zorflash
