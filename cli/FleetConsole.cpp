#include "cli/FleetConsole.h"

#include "cli/PrintableText.h"
#include "platform/Console.h"

namespace zorflash {

CFleetConsole::CFleetConsole(const Options& options, std::FILE* out, std::FILE* err)
    : m_options(options), m_out(out), m_err(err),
      m_prompt([this](const std::string& text) { return AskOperator(text); })
{
}

void CFleetConsole::Size(int& width, int& height) const
{
    if (!TerminalSize(m_out, width, height)) {
        width = 80;
        height = 24;
    }
}

void CFleetConsole::ClearBlockLocked()
{
    if (!m_options.interactive)
        return;
    int width = 0;
    int height = 0;
    Size(width, height);
    std::fputs(m_block.Clear(width).c_str(), m_out);
    std::fflush(m_out);
}

void CFleetConsole::StatusLine(const std::string& target, const std::string& line)
{
    // A blank line of the log separates messages in the status box; prefixed, it says nothing.
    if (m_options.interactive || m_options.quiet || m_options.json || line.empty())
        return;
    std::lock_guard lock(m_lock);
    std::fprintf(m_out, "[%s] %s\n", target.c_str(), line.c_str());
    std::fflush(m_out);  // a script reading the pipe sees each line as it is written
}

void CFleetConsole::Error(const std::string& target, const std::string& text)
{
    std::lock_guard lock(m_lock);
    ClearBlockLocked();
    std::fprintf(m_err, "zorflash-cli: %s: %s\n", target.c_str(), text.c_str());
    std::fflush(m_err);
}

void CFleetConsole::NoteOnce(const std::string& text)
{
    std::lock_guard lock(m_lock);
    if (!m_notes.insert(text).second)
        return;
    ClearBlockLocked();
    std::fprintf(m_err, "zorflash-cli: %s\n", text.c_str());
    std::fflush(m_err);
}

PromptEnd CFleetConsole::Prompt(const std::string& text, const CVolumeProblem::Finding& asked)
{
    if (m_options.noPrompt)
        return PromptEnd::NotAsked;
    // As for one instrument, the question names the file looked for and what is wrong with it.
    const std::string question = text + " (looking for " + PrintableText(asked.path) + ": " +
                                 (asked.reason.empty() ? "present now" : asked.reason) + ")";
    return m_prompt.Prompt(asked.path + "\n" + text, question);
}

PromptEnd CFleetConsole::AskOperator(const std::string& text)
{
    // The block makes way while the question is open, so the answer is typed on its line;
    // the lock is not held while waiting: the other targets' lines must keep flowing, or
    // their instruments would time out behind the question.
    const auto ask = [this, &text] {
        std::lock_guard lock(m_lock);
        ClearBlockLocked();
        m_prompting = true;
        std::fprintf(m_err, "%s [OK: Enter/ok/y, Cancel: c/cancel] ", text.c_str());
        std::fflush(m_err);
    };
    const auto done = [this] {
        std::lock_guard lock(m_lock);
        m_prompting = false;
    };
    for (;;) {
        if (++m_prompts > kMaxPrompts) {
            Error("every target", "no answer found the file after " + std::to_string(kMaxPrompts)
                                      + " prompts; cancelled");
            return PromptEnd::OperatorCancelled;
        }
        ask();
        std::string answer;
        if (!m_answers.ReadLine(answer, m_abort)) {
            std::fputc('\n', m_err);
            done();
            // Nobody there (end of input), Ctrl+C, or a line no person would type, which
            // counts as the operator's Cancel.
            return m_abort.IsTriggered() ? PromptEnd::Interrupted
                   : m_answers.Ended()   ? PromptEnd::EndOfInput
                                         : PromptEnd::OperatorCancelled;
        }
        if (answer.empty() || answer == "ok" || answer == "y" || answer == "yes") {
            done();
            return PromptEnd::None;
        }
        if (answer == "c" || answer == "cancel" || answer == "n" || answer == "no") {
            done();
            return PromptEnd::OperatorCancelled;
        }
    }
}

bool CFleetConsole::Draw(const std::vector<std::string>& finished, const std::vector<CProgressBlock::Row>& rows)
{
    if (!m_options.interactive || m_options.quiet || m_options.json)
        return true;
    std::lock_guard lock(m_lock);
    if (m_prompting)
        return false;
    int width = 0;
    int height = 0;
    Size(width, height);
    std::fputs(m_block.Draw(finished, rows, width, height).c_str(), m_out);
    std::fflush(m_out);
    return true;
}

void CFleetConsole::EndDisplay()
{
    std::lock_guard lock(m_lock);
    ClearBlockLocked();
}

void CFleetConsole::Print(const std::string& text)
{
    if (m_options.json)
        return;
    std::lock_guard lock(m_lock);
    std::fputs(text.c_str(), m_out);
    std::fflush(m_out);
}

void CFleetConsole::Interrupt()
{
    m_abort.Trigger();
    m_prompt.Abandon();
}

}  // namespace zorflash
