#include "cli/prompt/AnswerInput.h"

#include "platform/AbortSignal.h"
#include "platform/Console.h"

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
            m_ended = !abort.IsTriggered();
            return false;
        }
        m_input.append(block, static_cast<std::size_t>(n));
    }
}

}  // namespace zorflash
