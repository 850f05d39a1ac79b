#include "cli/commands/FileReportCommand.h"

#include "cli/output/JsonEvents.h"
#include "present/FileCheckText.h"
#include "present/OutcomeTable.h"
#include "present/PrintableText.h"
#include "present/VolumeRefusalText.h"

#include <cstdio>
#include <string>

namespace zorflash {

namespace {
using Id = CDisplayTexts::Id;

// The report's lines for people, in the run's language; numbers, paths and the model's and
// kinds' names stay as the file and the model table spell them.
void PrintReport(const UpdateSettings& settings, const CFileCheck::Report& report, const std::string& namingRule,
                 const CLocalText& problem, const CLocalText& where, Language language)
{
    const auto say = [language](Id id, std::initializer_list<CLocalText> values = {}) {
        return CLocalText::Say(id, values).Text(language);
    };
    if (!namingRule.empty())
        std::printf("%s%s\n", say(Id::InspectNote).c_str(), namingRule.c_str());
    std::printf("%s%s\n", say(Id::InspectModel).c_str(), settings.model.displayName);
    // A file of another model is named by its first line.
    const std::string otherFile =
        report.otherModel.empty() ? "" : say(Id::InspectOtherFile, {report.otherKind, report.otherModel});
    std::printf("%s%s\n", say(Id::InspectKind).c_str(),
                report.kind.empty() ? (say(Id::InspectUnknown) + otherFile).c_str() : report.kind.c_str());
    std::printf("%s%zu\n", say(Id::InspectVolumes).c_str(), report.volumePaths.size());
    for (size_t i = 0; i < report.volumePaths.size(); ++i)
        std::printf("%s\n", say(Id::InspectVolume, {std::to_string(i + 1), PrintableText(report.volumePaths[i])}).c_str());
    for (size_t i = 0; i < report.sections.size(); ++i) {
        const CFileCheck::Section& s = report.sections[i];
        std::printf("%s\n",
                    say(Id::InspectSection, {std::to_string(i + 1), std::to_string(s.records), std::to_string(s.bytes)})
                        .c_str());
    }
    std::printf("%s\n",
                say(Id::InspectTotal, {std::to_string(report.Records()), std::to_string(report.Bytes())}).c_str());
    if (report.complete) {
        std::printf("%s%s\n", say(Id::InspectResult).c_str(), say(Id::InspectOk).c_str());
        return;
    }
    std::printf("%s%s\n", say(Id::InspectResult).c_str(), problem.Text(language).c_str());
    std::printf("%s%s\n", say(Id::InspectWhere).c_str(), where.Text(language).c_str());
}
}  // namespace

int RunInspect(const UpdateSettings& settings, bool json, Language language)
{
    CFileCheck::Report report = CFileCheck::Inspect(settings, language);
    CLocalText problem = PrintableText(report.problem);
    CLocalText where = FileProblemPlace(report, settings);
    // A missing volume is named with its path, never with the prompt the update would show.
    if (report.asked) {
        const VolumeRefusal& asked = *report.asked;
        report.problem = VolumeRefusalSummary(asked, settings.model.displayName);
        problem = asked.kind == VolumeRefusal::Kind::Missing
                      ? CLocalText::Say(Id::VolumeNotFound, {std::to_string(asked.volume), PrintableText(asked.path)})
                      : CLocalText::Say(Id::VolumeProblemAt,
                                        {std::to_string(asked.volume), PrintableText(asked.path),
                                         PrintableText(VolumeRefusalReason(asked, settings.model.displayName))});
        where = CLocalText::Say(Id::WhereVolume, {std::to_string(asked.volume)});
    }
    // The update opens volume 1 by the naming rule, which may not be the file given.
    const std::string namingRule = VolumeNamingRule(settings.filePath, json ? Language::English : language);
    if (!json) {
        PrintReport(settings, report, namingRule, problem, where, language);
        return report.complete ? kExitCompleted : kExitFailed;
    }
    nlohmann::ordered_json sections = nlohmann::ordered_json::array();
    for (const CFileCheck::Section& s : report.sections)
        sections.push_back({{"records", s.records}, {"bytes", s.bytes}});
    nlohmann::ordered_json document = {{"schema", CJsonEvents::kSchema}, {"model", settings.model.displayName},
                                       {"kind", report.kind.empty() ? nullptr : nlohmann::ordered_json(report.kind)},
                                       {"volumes", report.volumePaths}, {"sections", sections},
                                       {"records", report.Records()}, {"bytes", report.Bytes()},
                                       {"complete", report.complete}};
    // The place stays English, as every reason a script matches.
    if (!report.complete)
        document["problem"] = {{"text", report.problem}, {"where", where.Text(Language::English)}};
    if (!report.otherModel.empty())
        document["fileOf"] = {{"model", report.otherModel}, {"kind", report.otherKind}};
    if (!namingRule.empty())
        document["namingRule"] = namingRule;
    std::printf("%s\n", CJsonEvents::Dump(document).c_str());
    return report.complete ? kExitCompleted : kExitFailed;
}

}  // namespace zorflash
