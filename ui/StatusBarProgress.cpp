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

ProgressState CStatusBarProgress::Begin(uint64_t totalBytes, int sections)
{
    m_total = totalBytes;
    m_sections = std::max(1, sections);
    m_state.barShown = true;
    m_state.sectionShown = m_sections > 1;
    return Show(0, 1, 0.0);
}

ProgressState CStatusBarProgress::Show(uint64_t sentBytes, int section, double elapsedSeconds)
{
    // The total is the volumes' sizes, which may hold bytes behind the last END: the bar
    // never runs past full, and the time left never below zero.
    const uint64_t sent = std::min(sentBytes, m_total);
    const int percent = m_total == 0 ? 0 : static_cast<int>(sent * 100 / m_total);
    const double rate = elapsedSeconds > 0 ? static_cast<double>(sentBytes) / elapsedSeconds : 0.0;
    const double left = m_total <= sent ? 0.0 : (rate > 0 ? static_cast<double>(m_total - sent) / rate : -1.0);
    m_state.barPercent = percent;
    m_state.titlePercent = percent;
    m_state.sectionText =
        FormatStringResource(m_language, kIdsProgressSection, std::clamp(section, 1, m_sections), m_sections);
    m_state.figuresText = FormatStringResource(
        m_language, kIdsProgressFigures, CProgressLine::FormatBytes(static_cast<double>(sent)).c_str(),
        CProgressLine::FormatBytes(static_cast<double>(m_total)).c_str(), CProgressLine::FormatBytes(rate).c_str(),
        CProgressLine::FormatDuration(left).c_str());
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
