#include "cli/check/PreCheck.h"

#include "cli/output/JsonEvents.h"
#include "cli/prompt/VolumeProblem.h"

#include <chrono>
#include <cmath>

namespace zorflash {

CPreCheck::CPreCheck(const UpdateSettings& settings, Language language, bool noPrompt, CJsonEvents* json)
{
    const auto start = std::chrono::steady_clock::now();
    m_report = CFileCheck::Inspect(settings, language);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // A volume that is not there yet is asked for by the update, as the desktop does,
    // unless nobody is there to answer.
    m_leftToPrompt = m_report.missingVolume > 0 && !noPrompt;
    if (!json)
        return;
    const std::string problem = m_report.missingVolume > 0
                                    ? CVolumeProblem::Describe(CVolumeProblem::Check(settings, m_report.missingVolume))
                                    : m_report.problem;
    json->Check({{"complete", m_report.complete},
                 {"problem", m_report.complete ? "" : problem},
                 {"where", m_report.complete ? "" : m_report.where},
                 {"askedLater", m_leftToPrompt},
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
