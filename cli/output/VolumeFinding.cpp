#include "cli/output/VolumeFinding.h"

#include "cli/output/PrintableText.h"

namespace zorflash {

CLocalText VolumeFinding(const CVolumeProblem::Finding& f)
{
    const std::string volume = std::to_string(f.volume);
    const std::string path = PrintableText(f.path);
    if (f.reason.empty())
        return CLocalText::Say(CDisplayTexts::Id::VolumeThereNow, {volume, path});
    // The detail stays as the volume check words it; the kind of problem is worded here.
    using Id = CDisplayTexts::Id;
    const Id word = f.kind == CVolumeProblem::kMissing            ? Id::VolumeMissingWord
                    : f.kind == CVolumeProblem::kWrongVolume      ? Id::VolumeWrongNumberWord
                    : f.kind == CVolumeProblem::kWrongModelOrKind ? Id::VolumeWrongFileWord
                                                                  : Id::VolumeUnreadableWord;
    return CLocalText::Say(Id::VolumeIs, {volume, path, CLocalText::Say(word, {f.reason})});
}

}  // namespace zorflash
