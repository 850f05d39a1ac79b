#include "ui/StatusBarProgress.h"

#include "platform/StringResource.h"
#include "ui/ProgressFigures.h"
#include "ui/UiStringIds.h"

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
    const CProgressFigures figures(progress, m_language);
    m_state.barShown = true;
    m_state.barPercent = figures.Percent();
    m_state.titlePercent = m_state.barPercent;
    // The volume of a two-volume file, else the section of a two-section file.
    m_state.sectionText = figures.Place();
    m_state.sectionShown = !m_state.sectionText.empty();
    m_state.figuresText = figures.Figures();
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
