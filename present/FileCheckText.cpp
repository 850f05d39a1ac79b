#include "present/FileCheckText.h"

#include "platform/StringResource.h"
#include "present/PrintableText.h"
#include "present/VolumeRefusalText.h"
#include "update/UpdateFileReader.h"

namespace zorflash {

namespace {
// Numbered texts of the string tables (resources/strings), English and Japanese.
constexpr unsigned kIdsNamingRule = 61472;     // volume 1's name, the file given
constexpr unsigned kIdsHeaderOfOther = 61475;  // kind, the file's model, the chosen model
constexpr unsigned kIdsHeaderOfNone = 61476;   // the chosen model

using Id = CDisplayTexts::Id;
}  // namespace

CLocalText FileProblemPlace(const CFileCheck::Report& report, const UpdateSettings& settings)
{
    const std::string section = std::to_string(report.sections.size());
    const std::string volume = std::to_string(report.volume);
    switch (report.place) {
    case CFileCheck::Place::None:
        break;
    case CFileCheck::Place::VolumeMissing:
        return CLocalText::Say(Id::WhereVolumeMissing, {volume, PrintableText(report.path), volume});
    case CFileCheck::Place::HeaderLine: {
        // An operator who picked the wrong model learns which one the file is for.
        const char* chosen = settings.model.displayName;
        const auto sentence = [&](Language language) {
            return report.otherModel.empty()
                       ? FormatStringResource(language, kIdsHeaderOfNone, chosen)
                       : FormatStringResource(language, kIdsHeaderOfOther, report.otherKind.c_str(),
                                              report.otherModel.c_str(), chosen);
        };
        return CLocalText::Both(sentence(Language::English), sentence(Language::Japanese));
    }
    case CFileCheck::Place::ShortHeader:
        return CLocalText::Say(Id::WhereShortHeader);
    case CFileCheck::Place::Record:
        return CLocalText::Say(Id::WhereRecord,
                               {section, std::to_string(report.record), volume, std::to_string(report.offset)});
    case CFileCheck::Place::EndsWithVolume2:
        return CLocalText::Say(Id::WhereEndsWithVolume2, {section});
    case CFileCheck::Place::Reading:
        return CLocalText::Say(Id::WhereReading);
    }
    return {};
}

CLocalText FileRefusalReason(const CFileCheck::Report& report, const UpdateSettings& settings)
{
    if (report.asked)
        return CLocalText::Say(Id::ReasonNoPromptAsks, {VolumeFinding(report.asked, settings)});
    // The first line's verdict is a sentence of its own, not a place. The problem is the
    // status text, already in the run's language.
    return CLocalText::Say(report.outcome == UpdateOutcome::InvalidRomType ? Id::ReasonProblemSentence
                                                                           : Id::ReasonProblemAt,
                           {PrintableText(report.problem), FileProblemPlace(report, settings)});
}

std::string VolumeNamingRule(const std::string& filePath, Language language)
{
    std::string first;
    MakeVolumeFileName(1, filePath, first);
    if (first == filePath)
        return {};
    return FormatStringResource(language, kIdsNamingRule, PrintableText(first).c_str(),
                                PrintableText(filePath).c_str());
}

}  // namespace zorflash
