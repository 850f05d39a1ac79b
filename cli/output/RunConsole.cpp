#include "cli/output/RunConsole.h"

#include "platform/OutputQueue.h"
#include "present/PrintableText.h"
#include "platform/Console.h"
#include "present/DisplayTexts.h"

#include <cstdlib>

namespace zorflash {

CRunConsole::CRunConsole(const Options& options, COutputQueue& output, std::FILE* out, std::FILE* err)
    : m_options(options), m_output(output), m_out(out), m_err(err),
      m_prompt([this](const std::string& text) { return AskOperator(text); })
{
}

void CRunConsole::Out(std::string text, const std::string& key)
{
    m_output.Post(m_out, std::move(text), COutputQueue::Kind::Keep, key);
}

void CRunConsole::Err(std::string text)
{
    m_output.Post(m_err, std::move(text));
}

void CRunConsole::Size(int& width, int& height) const
{
    if (TerminalSize(m_out, width, height))
        return;
    const char* columns = std::getenv("COLUMNS");
    width = columns && std::atoi(columns) > 0 ? std::atoi(columns) : 80;
    height = 24;
}

void CRunConsole::EndDisplay()
{
    std::lock_guard lock(m_lock);
    ClearLocked();
}

void CRunConsole::Error(const std::string& target, const std::string& text)
{
    std::lock_guard lock(m_lock);
    ClearLocked();
    Say((m_options.several ? target + ": " : std::string()) + text);
}

void CRunConsole::Note(const std::string& text)
{
    std::lock_guard lock(m_lock);
    if (m_options.several && !m_notes.insert(text).second)
        return;
    ClearLocked();
    Say(text);
}

PromptEnd CRunConsole::Prompt(const std::string& text, const VolumeRefusal& asked, const std::string& reason)
{
    PromptEnd end = PromptEnd::NotAsked;
    if (!m_options.noPrompt) {
        // The prompt only says "insert disk N": the question names the file looked for
        // and what is wrong with it.
        const std::string question = CDisplayTexts::Format(CDisplayTexts::Id::PromptLookingFor, m_options.language,
                                                           {text, PrintableText(asked.path), reason});
        end = m_prompt.Prompt(asked.path + "\n" + text, question);
    }
    if (end == PromptEnd::OperatorCancelled || end == PromptEnd::EndOfInput || end == PromptEnd::NotAsked) {
        std::lock_guard lock(m_lock);
        PromptEnd none = PromptEnd::RunGoesOn;
        if (m_final.compare_exchange_strong(none, end))
            m_finalRefusal = asked;
    }
    return end;
}

std::optional<VolumeRefusal> CRunConsole::FinalRefusal()
{
    std::lock_guard lock(m_lock);
    return m_finalRefusal;
}

PromptEnd CRunConsole::AskOperator(const std::string& text)
{
    // The drawing makes way while the question is open, so the answer is typed on its
    // line; the lock is not held while waiting: the other targets' lines must keep
    // flowing, or their instruments would time out behind the question.
    const auto ask = [this](const std::string& question) {
        std::lock_guard lock(m_lock);
        ClearLocked();
        m_prompting = true;
        Err(question);
    };
    std::string tooMany = "zorflash-cli: ";
    if (m_options.several)
        tooMany += CDisplayTexts::Text(CDisplayTexts::Id::EveryTarget, m_options.language) + std::string(": ");
    tooMany += CDisplayTexts::Format(CDisplayTexts::Id::NoAnswerFound, m_options.language,
                                     {std::to_string(CAnswerInput::kMaxPrompts)}) + "\n";
    const PromptEnd end = m_answers.Ask(text, m_abort, ask, [this](const std::string& line) { Err(line); }, tooMany);
    std::lock_guard lock(m_lock);
    m_prompting = false;
    return end;
}

void CRunConsole::Interrupt()
{
    m_abort.Trigger();
    m_prompt.Abandon();
}

}  // namespace zorflash
