#include "cli/prompt/AnswerInput.h"

#include "platform/AbortSignal.h"
#include "platform/Console.h"
#include "platform/Sleep.h"

#include <cctype>

namespace zorflash {

bool CAnswerInput::ReadLine(std::string& answer, const CAbortSignal& abort)
{
    for (;;) {
        const std::size_t end = m_input.find('\n');
        if (end != std::string::npos) {
            if (end > kMaxAnswerLength)
                return false;
            for (std::size_t i = 0; i < end; ++i) {
                const unsigned char c = static_cast<unsigned char>(m_input[i]);
                if (!std::isspace(c))
                    answer += static_cast<char>(std::tolower(c));
            }
            m_input.erase(0, end + 1);
            return true;
        }
        if (m_input.size() > kMaxAnswerLength)
            return false;
        char block[512];
        const long n = ReadStandardInput(block, sizeof block, abort);
        if (n <= 0) {
            // A signal sent just before the input closed came first and must win, but the
            // thread that takes it may not have triggered the abort yet: give it a moment.
            for (int i = 0; n == 0 && i < 20 && !abort.IsTriggered(); ++i)
                Sleep(5);
            m_ended = !abort.IsTriggered();
            return false;
        }
        m_input.append(block, static_cast<std::size_t>(n));
    }
}

PromptEnd CAnswerInput::Ask(const std::string& question, const CAbortSignal& abort, const Write& ask,
                            const Write& write, const std::string& tooMany)
{
    for (;;) {
        if (++m_prompts > kMaxPrompts) {
            write(tooMany);
            return PromptEnd::OperatorCancelled;
        }
        ask(question + " [OK: Enter/ok/y, Cancel: c/cancel] ");
        std::string answer;
        const bool answered = ReadLine(answer, abort);
        // A terminal echoes the operator's Enter; an answer from a pipe or file needs the
        // line ended here, or the next line of stderr would continue the question.
        if (!answered || !IsTerminal(stdin))
            write("\n");
        if (!answered)
            return abort.IsTriggered() ? PromptEnd::Interrupted
                   : m_ended           ? PromptEnd::EndOfInput
                                       : PromptEnd::OperatorCancelled;
        if (answer.empty() || answer == "ok" || answer == "y" || answer == "yes")
            return PromptEnd::RunGoesOn;
        if (answer == "c" || answer == "cancel" || answer == "n" || answer == "no")
            return PromptEnd::OperatorCancelled;
    }
}

}  // namespace zorflash
