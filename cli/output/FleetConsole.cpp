#include "cli/output/FleetConsole.h"

#include "cli/output/OutputQueue.h"
#include "cli/output/PrintableText.h"
#include "platform/Console.h"

namespace zorflash {

namespace {
// The block's draws: one is skipped while the last one still waits for the terminal.
const std::string kBlock = "block";
}  // namespace

CFleetConsole::CFleetConsole(const Options& options, COutputQueue& output, std::FILE* out, std::FILE* err)
    : m_options(options), m_output(output), m_out(out), m_err(err),
      m_block(options.language, options.colour), m_prompt([this](const std::string& text) { return AskOperator(text); })
{
}

void CFleetConsole::Out(std::string text)
{
    m_output.Post(m_out, std::move(text), COutputQueue::Kind::Keep, kBlock);
}

void CFleetConsole::Err(std::string text)
{
    m_output.Post(m_err, std::move(text));
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
    Out(m_block.Clear(width));
}

void CFleetConsole::StatusLine(const std::string& target, const std::string& line)
{
    // A blank line of the log separates messages in the status box; prefixed, it says nothing.
    if (m_options.interactive || m_options.quiet || m_options.json || line.empty())
        return;
    std::lock_guard lock(m_lock);
    Out("[" + target + "] " + line + "\n");
}

void CFleetConsole::Error(const std::string& target, const std::string& text)
{
    std::lock_guard lock(m_lock);
    ClearBlockLocked();
    Err("zorflash-cli: " + target + ": " + text + "\n");
}

void CFleetConsole::NoteOnce(const std::string& text)
{
    std::lock_guard lock(m_lock);
    if (!m_notes.insert(text).second)
        return;
    ClearBlockLocked();
    Err("zorflash-cli: " + text + "\n");
}

PromptEnd CFleetConsole::Prompt(const std::string& text, const VolumeRefusal& asked, const std::string& reason)
{
    PromptEnd end = PromptEnd::NotAsked;
    if (!m_options.noPrompt) {
        // As for one instrument, the question names the file looked for and what is wrong with it.
        const std::string question = text + " (looking for " + PrintableText(asked.path) + ": " + reason + ")";
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

std::optional<VolumeRefusal> CFleetConsole::FinalRefusal()
{
    std::lock_guard lock(m_lock);
    return m_finalRefusal;
}

PromptEnd CFleetConsole::AskOperator(const std::string& text)
{
    // The block makes way while the question is open, so the answer is typed on its line;
    // the lock is not held while waiting: the other targets' lines must keep flowing, or
    // their instruments would time out behind the question.
    const auto ask = [this](const std::string& question) {
        std::lock_guard lock(m_lock);
        ClearBlockLocked();
        m_prompting = true;
        Err(question);
    };
    const PromptEnd end = m_answers.Ask(text, m_abort, ask, [this](const std::string& line) { Err(line); },
                                        "zorflash-cli: every target: no answer found the file after " +
                                            std::to_string(CAnswerInput::kMaxPrompts) + " prompts; cancelled\n");
    std::lock_guard lock(m_lock);
    m_prompting = false;
    return end;
}

bool CFleetConsole::Draw(const std::vector<CSummaryTable::Row>& finished, const CProgressBlock::Fleet& fleet)
{
    if (!m_options.interactive || m_options.quiet || m_options.json)
        return true;
    std::lock_guard lock(m_lock);
    // Drawn again only once the terminal took the last draw: a terminal that stopped
    // reading (Ctrl+S) gets the result lines later, not a pile of draws.
    if (m_prompting || m_output.Pending(kBlock))
        return false;
    int width = 0;
    int height = 0;
    Size(width, height);
    Out(m_block.Draw(finished, fleet, width, height));
    return true;
}

void CFleetConsole::EndDisplay()
{
    std::lock_guard lock(m_lock);
    ClearBlockLocked();
}

CSummaryTable::Style CFleetConsole::TableStyle() const
{
    CSummaryTable::Style style{m_options.language, 0, m_options.colour};
    if (m_options.interactive) {
        int height = 0;
        Size(style.width, height);
    }
    return style;
}

void CFleetConsole::Summary(const std::vector<CSummaryTable::Row>& unshown, const std::vector<CSummaryTable::Row>& rows)
{
    if (m_options.json || m_options.quiet)
        return;
    const CSummaryTable::Style style = TableStyle();
    std::string text;
    if (m_options.interactive)
        for (const CSummaryTable::Row& row : unshown)
            text += CSummaryTable::ResultLine(row, style) + "\n";
    text += "\n" + CSummaryTable::Format(rows, style);
    std::lock_guard lock(m_lock);
    Out(std::move(text));
}

void CFleetConsole::Interrupt()
{
    m_abort.Trigger();
    m_prompt.Abandon();
}

}  // namespace zorflash
