#include "cli/TerminalHost.h"

#include "cli/PrintableText.h"
#include "platform/Console.h"
#include "platform/EditText.h"
#include "platform/LastError.h"
#include "update/ProgressLine.h"

#include <algorithm>
#include <cctype>

namespace zorflash {

CTerminalHost::CTerminalHost(const UpdateSettings& settings, const Options& options, std::FILE* out, std::FILE* err)
    : m_settings(settings)
    , m_options(options)
    , m_out(out)
    , m_err(err)
    , m_start(std::chrono::steady_clock::now())
{
}

void CTerminalHost::NoteStep()
{
    // Only while the run goes on: what the engine writes after an interruption is the
    // failure it sees, not the step the operator stopped.
    if (m_abort.IsTriggered())
        return;
    const std::string& text = m_status;
    size_t end = text.size();
    while (end > 0 && (text[end - 1] == '\n' || text[end - 1] == '\r'))
        --end;
    const size_t start = text.rfind("\r\n", end == 0 ? 0 : end - 1);
    const size_t from = start == std::string::npos ? 0 : start + 2;
    if (end > from)
        m_step = text.substr(from, end - from);
}

void CTerminalHost::OnStatusLogChanged(const CEditText& log)
{
    // The log only ever grows at its end or rewrites its last line, so what was printed
    // as finished lines stays true; an emptied log is a new run.
    m_status = log.GetText();
    NoteStep();
    if (m_status.empty())
        m_echoedUpTo = 0;
    Echo(m_status.empty());
}

std::string CTerminalHost::ProgressSuffix() const
{
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
    return "  " + CProgressLine::Format(m_bytesSent.load(), m_options.totalBytes, elapsed);
}

void CTerminalHost::Echo(bool force)
{
    if (m_options.quiet)
        return;
    const std::string& text = m_status;
    if (m_echoedUpTo > text.size())
        m_echoedUpTo = 0;
    const size_t lastBreak = text.rfind("\r\n");
    const size_t finishedEnd = lastBreak == std::string::npos ? 0 : lastBreak + 2;
    if (finishedEnd > m_echoedUpTo) {
        if (m_lineShown && m_options.interactive)
            std::fputs("\r\033[K", m_out);
        m_lineShown = false;
        size_t pos = m_echoedUpTo;
        while (pos < finishedEnd) {
            const size_t end = text.find("\r\n", pos);
            std::fwrite(text.data() + pos, 1, end - pos, m_out);
            std::fputc('\n', m_out);
            pos = end + 2;
        }
        m_echoedUpTo = finishedEnd;
        force = true;
        std::fflush(m_out);  // a script reading a pipe sees each line as it is written
    }
    if (!m_options.interactive)
        return;
    // The line in progress, redrawn at most ten times a second unless something finished.
    const auto now = std::chrono::steady_clock::now();
    if (!force && now - m_lastDraw < std::chrono::milliseconds(100))
        return;
    m_lastDraw = now;
    const std::string current = text.substr(finishedEnd);
    std::fputs("\r\033[K", m_out);
    std::fwrite(current.data(), 1, current.size(), m_out);
    if (!current.empty() && m_options.totalBytes > 0)
        std::fputs(ProgressSuffix().c_str(), m_out);
    m_lineShown = !current.empty();
    std::fflush(m_out);
}

void CTerminalHost::Finish()
{
    if (m_options.quiet)
        return;
    const std::string& text = m_status;
    const std::string rest = m_echoedUpTo < text.size() ? text.substr(m_echoedUpTo) : std::string();
    if (m_options.interactive && m_lineShown)
        std::fputs("\r\033[K", m_out);
    if (!rest.empty()) {
        std::fwrite(rest.data(), 1, rest.size(), m_out);
        std::fputc('\n', m_out);
    }
    m_echoedUpTo = text.size();
    m_lineShown = false;
    std::fflush(m_out);
}

bool CTerminalHost::PromptOkCancel(const std::string& text)
{
    if (m_options.interactive && m_lineShown && !m_options.quiet) {
        std::fputs("\r\033[K", m_out);
        m_lineShown = false;
        std::fflush(m_out);
    }
    for (;;) {
        if (++m_prompts > kMaxPrompts) {
            std::fprintf(m_err, "zorflash-cli: no answer found the file after %d prompts; cancelled\n", kMaxPrompts);
            return false;
        }
        std::fprintf(m_err, "%s [OK: Enter/ok/y, Cancel: c/cancel] ", text.c_str());
        std::fflush(m_err);
        std::string answer;
        if (!ReadAnswer(answer)) {
            std::fputc('\n', m_err);
            return false;  // end of input, a line too long, or the run is being interrupted
        }
        if (answer.empty() || answer == "ok" || answer == "y" || answer == "yes")
            return true;
        if (answer == "c" || answer == "cancel" || answer == "n" || answer == "no")
            return false;
    }
}

bool CTerminalHost::ReadAnswer(std::string& answer)
{
    // One line, read in blocks; given up at once when the run is interrupted, and at the
    // end of input, on a read error or on a line no person would type.
    for (;;) {
        const size_t end = m_input.find('\n');
        if (end != std::string::npos) {
            if (end > kMaxAnswerLength)
                return false;
            for (size_t i = 0; i < end; ++i) {
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
        const long n = ReadStandardInput(block, sizeof block, m_abort);
        if (n <= 0)
            return false;
        m_input.append(block, static_cast<size_t>(n));
    }
}

void CTerminalHost::NoteVolumeUnavailable(const std::string& path, uint32_t error)
{
    const std::string reason = error == kErrorNotAFile ? "not a regular file" : SystemErrorText(error);
    std::fprintf(m_err, "zorflash-cli: cannot open %s: %s\n", PrintableText(path).c_str(), reason.c_str());
    std::fflush(m_err);
}

void CTerminalHost::ReportError(const std::string& text)
{
    std::fprintf(m_err, "zorflash-cli: %s\n", PrintableText(text).c_str());
    std::fflush(m_err);
}

void CTerminalHost::PostUpdateFinished(const UpdateResult& result)
{
    m_result = result;
    m_finished.store(true);
}

void CTerminalHost::OnRecordStreamWrite(uint32_t bytes)
{
    m_bytesSent.fetch_add(bytes);
}

}  // namespace zorflash
