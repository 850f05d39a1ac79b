#include "present/VolumeRefusalText.h"

#include "platform/LastError.h"
#include "platform/StringResource.h"
#include "present/PrintableText.h"

namespace zorflash {

namespace {
// Numbered texts of the string tables (resources/strings), English and Japanese.
constexpr unsigned kIdsVolumeTwoLater = 61473;     // volume 2's name
constexpr unsigned kIdsVolumeTwoUnusable = 61474;  // volume 2's name, what is wrong with it
constexpr unsigned kIdsVolumeOneNow = 61480;       // volume 1's name
constexpr unsigned kIdsVolumeOneUnusable = 61481;  // volume 1's name, what is wrong with it
}  // namespace

std::string VolumeRefusalReason(const VolumeRefusal& refusal, const char* modelName)
{
    switch (refusal.kind) {
    case VolumeRefusal::Kind::Missing:
        return "missing";
    case VolumeRefusal::Kind::Unreadable:
        return std::string("not readable: ") + DescribeError(refusal.systemError);
    case VolumeRefusal::Kind::WrongNumber: {
        // Shown up to a NUL, as C text: the digits are read as a C string.
        std::string shown;
        for (char c : std::string(refusal.numberText.c_str()))
            shown += (c >= 0x20 && c < 0x7F) ? c : '?';
        return "wrong volume number: its header says \"" + shown + "\", not \"0" + std::to_string(refusal.volume) +
               "\"";
    }
    case VolumeRefusal::Kind::WrongHeaderLine:
        break;
    }
    return std::string("wrong model or kind: its first line is not the one of volume 1 (") + modelName + ")";
}

std::string VolumeRefusalSummary(const VolumeRefusal& refusal, const char* modelName)
{
    const std::string volume = "volume " + std::to_string(refusal.volume);
    if (refusal.kind == VolumeRefusal::Kind::Missing)
        return volume + " not found: " + refusal.path;
    return volume + " " + refusal.path + ": " + VolumeRefusalReason(refusal, modelName);
}

CLocalText VolumeFinding(const std::optional<VolumeRefusal>& refusal, const UpdateSettings& settings)
{
    using Id = CDisplayTexts::Id;
    if (!refusal)
        return CLocalText::Say(Id::VolumeNotBrought, {PrintableText(settings.filePath)});
    // The detail stays as the volume check words it; the kind of problem is worded here.
    const Id word = refusal->kind == VolumeRefusal::Kind::Missing       ? Id::VolumeMissingWord
                    : refusal->kind == VolumeRefusal::Kind::WrongNumber ? Id::VolumeWrongNumberWord
                    : refusal->kind == VolumeRefusal::Kind::WrongHeaderLine ? Id::VolumeWrongFileWord
                                                                            : Id::VolumeUnreadableWord;
    return CLocalText::Say(Id::VolumeIs,
                           {std::to_string(refusal->volume), PrintableText(refusal->path),
                            CLocalText::Say(word, {VolumeRefusalReason(*refusal, settings.model.displayName)})});
}

// Volume 2 on a second disk is asked for at half-way, as designed; an operator told now
// has it at hand then rather than finding the prompt when nobody watches. Volume 1 (a file
// name whose volume-1 form is not there) is opened first, so its prompt comes at once.
std::string VolumeLaterNotice(const VolumeRefusal& refusal, const char* modelName, Language language)
{
    const std::string path = PrintableText(refusal.path);
    const bool first = refusal.volume == 1;
    return refusal.kind == VolumeRefusal::Kind::Missing
               ? FormatStringResource(language, first ? kIdsVolumeOneNow : kIdsVolumeTwoLater, path.c_str())
               : FormatStringResource(language, first ? kIdsVolumeOneUnusable : kIdsVolumeTwoUnusable, path.c_str(),
                                      PrintableText(VolumeRefusalReason(refusal, modelName)).c_str());
}

}  // namespace zorflash
