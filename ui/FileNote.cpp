#include "ui/FileNote.h"

#include "platform/PathText.h"
#include "platform/StringResource.h"
#include "ui/UiStringIds.h"
#include "update/DeviceModel.h"
#include "update/UpdateFileReader.h"

namespace zorflash {

namespace {
std::string NameOf(const std::string& path)
{
    return Utf8FromPath(PathFromUtf8(path).filename());
}

std::string ModelNote(const UpdateSettings& record, const std::string& preview, Language language)
{
    // The reader's first line: up to its LF, at most 64 bytes; a NUL ends it as the
    // reader's buffer would.
    std::string line = preview.substr(0, preview.find('\n') == std::string::npos ? preview.size()
                                                                                  : preview.find('\n') + 1);
    line = line.substr(0, std::min<size_t>(line.size(), kHeaderLineBufferSize - 1));
    line = line.c_str();
    if (DetectRomKind(record.model, line.c_str()) != kRomKindUnchecked)
        return std::string();
    const DeviceModel* owner = FindModelOfHeaderLine(line.c_str());
    if (!owner)
        return LoadStringResource(kIdsFileForNoModel, language);
    return FormatStringResource(language, kIdsFileForOtherModel, owner->displayName, record.model.displayName);
}
}  // namespace

std::string FileChoiceNote(const UpdateSettings& record, const std::string& preview, Language language)
{
    std::string note = ModelNote(record, preview, language);
    std::string first;
    MakeVolumeFileName(1, record.filePath, first);
    if (first != record.filePath) {
        if (!note.empty())
            note += ' ';
        // A dot only in a folder's name puts the digit into the folder: then only the
        // whole paths tell the two apart.
        const bool sameFolder = PathFromUtf8(first).parent_path() == PathFromUtf8(record.filePath).parent_path();
        const std::string opened = sameFolder ? NameOf(first) : first;
        const std::string chosen = sameFolder ? NameOf(record.filePath) : record.filePath;
        note += FormatStringResource(language, kIdsVolumeOneName, opened.c_str(), chosen.c_str());
    }
    return note;
}

std::string VolumePromptNote(const VolumeRefusal& refusal, Language language)
{
    return FormatStringResource(language, kIdsLookingForVolume, refusal.volume, refusal.path.c_str());
}

}  // namespace zorflash
