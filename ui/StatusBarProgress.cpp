#include "ui/StatusBarProgress.h"

#include "platform/StringResource.h"
#include "ui/UiStringIds.h"
#include "update/ProgressLine.h"

#include <algorithm>

namespace zorflash {

CStatusBarProgress::CStatusBarProgress(Language language)
    : m_language(language)
{
    m_state = Idle();
}

ProgressState CStatusBarProgress::Idle() const
{
    ProgressState idle;
    idle.figuresText = LoadStringResource(kIdsIdlePrompt, m_language);
    return idle;
}

ProgressState CStatusBarProgress::Show(const UpdateProgress& progress)
{
    const int sections = std::max(1, progress.sections);
    m_state.barShown = true;
    m_state.barPercent = progress.Percent();
    m_state.titlePercent = m_state.barPercent;
    m_state.sectionShown = sections > 1;
    m_state.sectionText =
        FormatStringResource(m_language, kIdsProgressSection, std::clamp(progress.section, 1, sections), sections);
    // A volume may hold bytes behind its last END: the figures never run past the total.
    const uint64_t sent = std::min(progress.bytes, progress.total);
    m_state.figuresText = FormatStringResource(
        m_language, kIdsProgressFigures, CProgressLine::FormatBytes(static_cast<double>(sent)).c_str(),
        CProgressLine::FormatBytes(static_cast<double>(progress.total)).c_str(),
        CProgressLine::FormatBytes(progress.Rate()).c_str(), CProgressLine::FormatDuration(progress.SecondsLeft()).c_str());
    return m_state;
}

ProgressState CStatusBarProgress::Finish(Outcome outcome)
{
    unsigned id = kIdsUpdateFailed;
    if (outcome == Outcome::Completed)
        id = kIdsUpdateCompleted;
    else if (outcome == Outcome::Cancelled)
        id = kIdsUpdateCancelled;
    // The bar keeps the last value beside the words; the title loses its percent.
    m_state.sectionShown = false;
    m_state.figuresText = LoadStringResource(id, m_language);
    m_state.titlePercent = -1;
    return m_state;
}

}  // namespace zorflash
