#include "cli/FleetHost.h"

#include "platform/EditText.h"

#include <cerrno>
#include <cstring>

namespace zorflash {

namespace {

int64_t NowMicros()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

CFleetHost::CFleetHost(std::string target, const UpdateSettings& settings, Language language,
                       CFleetConsole& console, uint64_t totalBytes, uint32_t timeoutMs, uint32_t waitLimitMs)
    : m_target(std::move(target)), m_settings(settings), m_language(language), m_console(console),
      m_totalBytes(totalBytes), m_timeoutMs(timeoutMs), m_waitLimitMs(waitLimitMs)
{
    Begin();
}

void CFleetHost::Begin()
{
    m_startMicros.store(NowMicros());
}

void CFleetHost::OnStatusLogChanged(const CEditText& log)
{
    std::lock_guard lock(m_mutex);
    const std::string& text = log.GetText();
    const bool appended = text.size() >= m_status.size() && text.compare(0, m_status.size(), m_status) == 0;
    if (text.empty() || m_printedUpTo > text.size()) {
        m_printedUpTo = 0;
    } else if (appended && m_lineReplaced && m_printedUpTo < m_status.size()) {
        // A progress line is written over in place and the next message is appended right
        // behind it, on the same line of the box; shown line by line it gets its own line.
        m_lastLine = m_status.substr(m_printedUpTo);
        m_console.StatusLine(m_target, m_lastLine);
        m_printedUpTo = m_status.size();
    }
    m_lineReplaced = !appended;
    m_status = text;
    EchoFinishedLines();
}

void CFleetHost::EchoFinishedLines()
{
    // The log only grows at its end or rewrites its last line, so a line once ended with
    // CR LF stays as printed; the line in progress is printed when it ends.
    for (;;) {
        const std::size_t end = m_status.find("\r\n", m_printedUpTo);
        if (end == std::string::npos)
            return;
        m_lastLine = m_status.substr(m_printedUpTo, end - m_printedUpTo);
        m_console.StatusLine(m_target, m_lastLine);
        m_printedUpTo = end + 2;
    }
}

void CFleetHost::Finish()
{
    std::lock_guard lock(m_mutex);
    if (m_printedUpTo < m_status.size())
        m_console.StatusLine(m_target, m_status.substr(m_printedUpTo));
    m_printedUpTo = m_status.size();
}

bool CFleetHost::PromptOkCancel(const std::string& text)
{
    return m_console.Prompt(text);
}

void CFleetHost::NoteVolumeUnavailable(const std::string& path, uint32_t error)
{
    const std::string reason = error == EINVAL ? "not a regular file" : std::strerror(static_cast<int>(error));
    m_console.NoteOnce("cannot open " + path + ": " + reason);
}

void CFleetHost::ReportError(const std::string& text)
{
    m_console.Error(m_target, text);
}

void CFleetHost::PostUpdateFinished(const UpdateResult& result)
{
    m_result = result;
    m_endMicros.store(NowMicros());
}

std::string CFleetHost::CurrentLine() const
{
    std::lock_guard lock(m_mutex);
    // Between two lines, the one just ended stays on show until the next one begins.
    return m_printedUpTo < m_status.size() ? m_status.substr(m_printedUpTo) : m_lastLine;
}

std::string CFleetHost::StatusText() const
{
    std::lock_guard lock(m_mutex);
    return m_status;
}

double CFleetHost::Seconds() const
{
    const int64_t end = m_endMicros.load();
    return static_cast<double>((end >= 0 ? end : NowMicros()) - m_startMicros.load()) / 1e6;
}

}  // namespace zorflash
