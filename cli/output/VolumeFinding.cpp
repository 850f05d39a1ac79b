#include "cli/output/VolumeFinding.h"

#include "cli/output/PrintableText.h"
#include "cli/prompt/VolumeRefusalText.h"

namespace zorflash {

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

}  // namespace zorflash
