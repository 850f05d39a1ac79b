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

ProgressState CStatusBarProgress::Note(const std::string& note) const
{
    ProgressState state = Idle();
    if (!note.empty()) {
        state.figuresText = note;
        state.toolTip = note;
    }
    return state;
}

ProgressState CStatusBarProgress::Show(const UpdateProgress& progress, const std::string& promptNote)
{
    const CProgressFigures figures(progress, m_language);
    m_state.barShown = true;
    m_state.barPercent = figures.Percent();
    m_state.titlePercent = m_state.barPercent;
    // The volume of a two-volume file, else the section of a two-section file.
    m_state.sectionText = figures.Place();
    m_state.sectionShown = !m_state.sectionText.empty();
    const bool asking = progress.waiting && !promptNote.empty();
    // The file comes first: it is what the operator must act on; the figures stay, as
    // they stand while nothing moves.
    m_state.figuresText = asking ? promptNote + " (" + figures.Figures() + ")" : figures.Figures();
    m_state.toolTip = asking ? promptNote : std::string();
    return m_state;
}

ProgressState CStatusBarProgress::Finish(Outcome outcome, const std::vector<std::string>& why)
{
    unsigned id = kIdsUpdateFailed;
    if (outcome == Outcome::Completed)
        id = kIdsUpdateCompleted;
    else if (outcome == Outcome::Cancelled)
        id = kIdsUpdateCancelled;
    // The bar keeps the last value beside the words; the title loses its percent.
    m_state.sectionShown = false;
    m_state.figuresText = LoadStringResource(id, m_language);
    m_state.toolTip.clear();
    for (const std::string& sentence : why) {
        if (sentence.empty())
            continue;
        if (m_state.toolTip.empty())
            m_state.toolTip = m_state.figuresText;
        // Japanese runs its sentences together; English leaves a blank between them.
        m_state.figuresText += (m_language == Language::Japanese ? "" : " ") + sentence;
        m_state.toolTip += '\n' + sentence;
    }
    m_state.titlePercent = -1;
    return m_state;
}

}  // namespace zorflash
