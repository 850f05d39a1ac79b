#include "cli/check/PreCheck.h"

#include "cli/output/JsonEvents.h"
#include "platform/OutputQueue.h"
#include "present/FileCheckText.h"
#include "present/VolumeRefusalText.h"

#include <chrono>
#include <cmath>

namespace zorflash {

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
        notices->Post(stderr, "zorflash-cli: " + VolumeLaterNotice(*m_report.asked, model, language) + "\n");
    if (!json)
        return;
    const std::string problem =
        m_report.asked ? VolumeRefusalSummary(*m_report.asked, model) : m_report.problem;
    const std::string where = m_report.complete ? "" : FileProblemPlace(m_report, settings).Text(Language::English);
    json->Emit("check", {{"complete", m_report.complete},
                         {"problem", m_report.complete ? "" : problem},
                         {"where", where},
                         {"askedLater", m_leftToPrompt},
                         {"notice", m_leftToPrompt ? VolumeLaterNotice(*m_report.asked, model, Language::English) : ""},
                         {"seconds", std::round(seconds * 1e6) / 1e6}});
}

}  // namespace zorflash
