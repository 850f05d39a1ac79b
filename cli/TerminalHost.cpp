#include "cli/TerminalHost.h"

#include "cli/ProgressLine.h"

#include "platform/Console.h"

#include <algorithm>
#include <cctype>

CTerminalHost::CTerminalHost(const UpdateSettings& settings, const Options& options, std::FILE* out, std::FILE* err)
    : m_settings(settings)
    , m_options(options)
    , m_out(out)
    , m_err(err)
    , m_start(std::chrono::steady_clock::now())
{
}

void CTerminalHost::StatusSetText(const std::string& text)
{
    m_status.SetText(text);
    m_echoedUpTo = 0;
    Echo(true);
}

void CTerminalHost::StatusReplaceSel(const std::string& text)
{
    // The log only ever grows at its end or rewrites its last line, so what was printed
    // as finished lines stays true.
    m_status.ReplaceSel(text);
    Echo(false);
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
    const std::string& text = m_status.GetText();
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
    const std::string& text = m_status.GetText();
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
        std::fprintf(m_err, "%s [OK: Enter/ok/y, Cancel: c/cancel] ", text.c_str());
        std::fflush(m_err);
        std::string answer;
        if (!ReadAnswer(answer)) {
            std::fputc('\n', m_err);
            m_operatorCancelled = true;
            return false;  // end of input, or the run is being interrupted
        }
        if (answer.empty() || answer == "ok" || answer == "y" || answer == "yes")
            return true;
        if (answer == "c" || answer == "cancel" || answer == "n" || answer == "no") {
            m_operatorCancelled = true;
            return false;
        }
    }
}

bool CTerminalHost::ReadAnswer(std::string& answer)
{
    // One line, but given up at once when the run is interrupted.
    for (;;) {
        char c = 0;
        if (ReadStandardInput(&c, 1, m_abort) <= 0)
            return false;
        if (c == '\n')
            return true;
        if (!std::isspace(static_cast<unsigned char>(c)))
            answer += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
}

void CTerminalHost::ReportError(const std::string& text)
{
    m_reportedError = true;
    std::fprintf(m_err, "zorflash-cli: %s\n", text.c_str());
    std::fflush(m_err);
}

void CTerminalHost::PostUpdateFinished()
{
    m_finished.store(true);
}

void CTerminalHost::OnRecordStreamWrite(uint32_t bytes)
{
    m_bytesSent.fetch_add(bytes);
}
