#include "cli/run/TargetFiles.h"

#include "update/FileCheck.h"
#include "present/PrintableText.h"
#include "present/DisplayTexts.h"

#include <algorithm>

namespace zorflash {

namespace {
// The status or trace file of one target: the pattern with every "{target}" replaced by a
// form of the target's name that is a valid file name everywhere ("127.0.0.1-8023", "usb-3").
std::string FileForTarget(const std::string& pattern, const FleetTarget& target)
{
    std::string name = target.Name();
    std::replace(name.begin(), name.end(), ':', '-');
    std::string path = pattern;
    for (std::size_t at = path.find("{target}"); at != std::string::npos; at = path.find("{target}", at + name.size()))
        path.replace(at, 8, name);
    return path;
}
}  // namespace

bool CTargetFiles::Open(const FlashOptions& options, COutputQueue& output, std::string& error)
{
    const std::vector<std::string> keep = CFileCheck::VolumePaths(options.settings.filePath);
    const bool one = options.targets.size() == 1;
    const auto say = [&options](CDisplayTexts::Id id, std::initializer_list<std::string> values) {
        return CDisplayTexts::Format(id, options.language, values);
    };
    const auto name = [&](const std::string& pattern, const FleetTarget& target) {
        return one ? pattern : FileForTarget(pattern, target);
    };
    for (const FleetTarget& target : options.targets) {
        std::string problem;
        if (!options.statusFile.empty()) {
            m_status.emplace_back(name(options.statusFile, target));
            if (!m_status.back().Check(keep, problem)) {
                error = say(CDisplayTexts::Id::StatusFileUnusable,
                            {PrintableText(m_status.back().Path()), PrintableText(problem)});
                return false;
            }
        }
        m_traces.push_back(std::make_unique<CLinkTrace>());
        const std::string tracePath = name(options.traceFile, target);
        if (!options.traceFile.empty() &&
            !m_traces.back()->Open(tracePath, options.traceAll, keep, output, problem)) {
            error = say(CDisplayTexts::Id::TraceUnwritable, {PrintableText(tracePath), PrintableText(problem)});
            return false;
        }
    }
    std::vector<const CStatusFile*> outputs;
    for (const CStatusFile& file : m_status)
        outputs.push_back(&file);
    for (const std::unique_ptr<CLinkTrace>& trace : m_traces)
        if (trace->IsOpen())
            outputs.push_back(&trace->Place());
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        for (std::size_t j = i + 1; j < outputs.size(); ++j) {
            if (!outputs[i]->SameFile(*outputs[j]))
                continue;
            error = one ? say(CDisplayTexts::Id::StatusAndTraceSame, {PrintableText(options.traceFile)})
                        : say(CDisplayTexts::Id::OutputsSame,
                              {PrintableText(outputs[i]->Path()), PrintableText(outputs[j]->Path())});
            return false;
        }
    }
    return true;
}

}  // namespace zorflash
