#include "cli/commands/FileReportCommand.h"

#include "cli/check/FileCheck.h"
#include "cli/output/JsonEvents.h"
#include "cli/output/PrintableText.h"
#include "cli/prompt/VolumeRefusalText.h"
#include "present/OutcomeTable.h"

#include <cstdio>
#include <string>

namespace zorflash {

int RunInspect(const UpdateSettings& settings, bool json, Language language)
{
    const std::string& file = settings.filePath;
    CFileCheck::Report report = CFileCheck::Inspect(settings, language);
    // A missing volume is named with its path, never with the prompt the update would show.
    if (report.asked) {
        report.problem = VolumeRefusalSummary(*report.asked, settings.model.displayName);
        report.where = "volume " + std::to_string(report.asked->volume);
    }
    // The update opens volume 1 by the naming rule, which may not be the file given.
    const std::string namingRule = CFileCheck::NamingRule(file, json ? Language::English : language);
    uint64_t records = 0;
    uint64_t bytes = 0;
    for (const CFileCheck::Section& s : report.sections) {
        records += s.records;
        bytes += s.bytes;
    }
    if (json) {
        nlohmann::ordered_json sections = nlohmann::ordered_json::array();
        for (const CFileCheck::Section& s : report.sections)
            sections.push_back({{"records", s.records}, {"bytes", s.bytes}});
        nlohmann::ordered_json document = {{"schema", CJsonEvents::kSchema}, {"model", settings.model.displayName},
                                   {"kind", report.kind.empty() ? nullptr : nlohmann::ordered_json(report.kind)},
                                   {"volumes", report.volumePaths}, {"sections", sections},
                                   {"records", records}, {"bytes", bytes}, {"complete", report.complete}};
        if (!report.complete)
            document["problem"] = {{"text", report.problem}, {"where", report.where}};
        if (!report.otherModel.empty())
            document["fileOf"] = {{"model", report.otherModel}, {"kind", report.otherKind}};
        if (!namingRule.empty())
            document["namingRule"] = namingRule;
        std::printf("%s\n", CJsonEvents::Dump(document).c_str());
        return report.complete ? kExitCompleted : kExitFailed;
    }
    if (!namingRule.empty())
        std::printf("note:     %s\n", namingRule.c_str());
    std::printf("model:    %s\n", settings.model.displayName);
    // A file of another model is named by its first line.
    const std::string otherFile =
        report.otherModel.empty() ? "" : " (a " + report.otherKind + " file of " + report.otherModel + ")";
    std::printf("kind:     %s\n", report.kind.empty() ? ("unknown" + otherFile).c_str() : report.kind.c_str());
    std::printf("volumes:  %zu\n", report.volumePaths.size());
    for (size_t i = 0; i < report.volumePaths.size(); ++i)
        std::printf("  volume %zu: %s\n", i + 1, PrintableText(report.volumePaths[i]).c_str());
    for (size_t i = 0; i < report.sections.size(); ++i) {
        const CFileCheck::Section& s = report.sections[i];
        std::printf("section %zu: %llu records, %llu bytes\n", i + 1, static_cast<unsigned long long>(s.records),
                    static_cast<unsigned long long>(s.bytes));
    }
    std::printf("total:    %llu records, %llu bytes\n", static_cast<unsigned long long>(records),
                static_cast<unsigned long long>(bytes));
    if (report.complete) {
        std::printf("result:   OK, the file would transfer completely\n");
        return kExitCompleted;
    }
    std::printf("result:   %s\n", PrintableText(report.problem).c_str());
    std::printf("where:    %s\n", PrintableText(report.where).c_str());
    return kExitFailed;
}

}  // namespace zorflash
