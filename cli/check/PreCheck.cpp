#include "cli/check/PreCheck.h"

#include "cli/output/CliStringIds.h"
#include "cli/output/JsonEvents.h"
#include "cli/output/OutputQueue.h"
#include "present/PrintableText.h"
#include "present/VolumeRefusalText.h"
#include "platform/StringResource.h"

#include <chrono>
#include <cmath>

namespace zorflash {

namespace {
// Volume 2 on a second disk is asked for at half-way, as designed; an operator told now
// has it at hand then rather than finding the prompt when nobody watches.
std::string LaterVolumeNotice(const VolumeRefusal& refusal, const char* modelName, Language language)
{
    const std::string path = PrintableText(refusal.path);
    return refusal.kind == VolumeRefusal::Kind::Missing
               ? FormatStringResource(language, kIdsVolumeTwoLater, path.c_str())
               : FormatStringResource(language, kIdsVolumeTwoUnusable, path.c_str(),
                                      PrintableText(VolumeRefusalReason(refusal, modelName)).c_str());
}
}  // namespace

CPreCheck::CPreCheck(const UpdateSettings& settings, Language language, bool noPrompt, CJsonEvents* json,
                     COutputQueue* notices)
{
    const auto start = std::chrono::steady_clock::now();
    m_report = CFileCheck::Inspect(settings, language);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // A volume that is not there yet is asked for by the update, as the desktop does,
    // unless nobody is there to answer.
    m_leftToPrompt = m_report.asked && !noPrompt;
    const char* model = settings.model.displayName;
    if (m_leftToPrompt && notices)
        notices->Post(stderr, "zorflash-cli: " + LaterVolumeNotice(*m_report.asked, model, language) + "\n");
    if (!json)
        return;
    const std::string problem =
        m_report.asked ? VolumeRefusalSummary(*m_report.asked, model) : m_report.problem;
    json->Check({{"complete", m_report.complete},
                 {"problem", m_report.complete ? "" : problem},
                 {"where", m_report.complete ? "" : m_report.where.Text(Language::English)},
                 {"askedLater", m_leftToPrompt},
                 {"notice", m_leftToPrompt ? LaterVolumeNotice(*m_report.asked, model, Language::English) : ""},
                 {"seconds", std::round(seconds * 1e6) / 1e6}});
}

uint64_t CPreCheck::TotalBytes(uint64_t otherwise) const
{
    if (!m_report.complete)
        return otherwise;
    uint64_t bytes = 0;
    for (const CFileCheck::Section& s : m_report.sections)
        bytes += s.bytes;
    return bytes;
}

}  // namespace zorflash
