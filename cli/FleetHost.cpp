#include "cli/FleetHost.h"

#include <cerrno>
#include <cstring>

namespace {

int64_t NowMicros()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

CFleetHost::CFleetHost(std::string target, const UpdateSettings& settings, CFleetConsole& console,
                       uint64_t totalBytes, uint32_t timeoutMs, uint32_t waitLimitMs)
    : m_target(std::move(target)), m_settings(settings), m_console(console), m_totalBytes(totalBytes),
      m_timeoutMs(timeoutMs), m_waitLimitMs(waitLimitMs)
{
    Begin();
}

void CFleetHost::Begin()
{
    m_startMicros.store(NowMicros());
}

int CFleetHost::StatusGetTextLength()
{
    std::lock_guard lock(m_mutex);
    return m_status.GetTextLength();
}

void CFleetHost::StatusSetSel(int start, int end)
{
    std::lock_guard lock(m_mutex);
    m_status.SetSel(start, end);
}

int CFleetHost::StatusLineFromChar(int charIndex)
{
    std::lock_guard lock(m_mutex);
    return m_status.LineFromChar(charIndex);
}

int CFleetHost::StatusLineIndex(int line)
{
    std::lock_guard lock(m_mutex);
    return m_status.LineIndex(line);
}

void CFleetHost::StatusReplaceSel(const std::string& text)
{
    std::lock_guard lock(m_mutex);
    const bool append = m_status.GetSelStart() >= m_status.GetTextLength();
    // A progress line is written over in place and the next message is appended right
    // behind it, on the same line of the box; shown line by line it gets a line of its own.
    if (append && m_lineReplaced && m_printedUpTo < m_status.GetText().size()) {
        const std::string& box = m_status.GetText();
        m_lastLine = box.substr(m_printedUpTo);
        m_console.StatusLine(m_target, m_lastLine);
        m_printedUpTo = box.size();
    }
    m_lineReplaced = !append;
    m_status.ReplaceSel(text);
    EchoFinishedLines();
}

void CFleetHost::StatusSetText(const std::string& text)
{
    std::lock_guard lock(m_mutex);
    m_status.SetText(text);
    m_printedUpTo = 0;
    m_lineReplaced = false;
    EchoFinishedLines();
}

void CFleetHost::EchoFinishedLines()
{
    // The log only grows at its end or rewrites its last line, so a line once ended with
    // CR LF stays as printed; the line in progress is printed when it ends.
    const std::string& text = m_status.GetText();
    if (m_printedUpTo > text.size())
        m_printedUpTo = 0;
    for (;;) {
        const std::size_t end = text.find("\r\n", m_printedUpTo);
        if (end == std::string::npos)
            return;
        m_lastLine = text.substr(m_printedUpTo, end - m_printedUpTo);
        m_console.StatusLine(m_target, m_lastLine);
        m_printedUpTo = end + 2;
    }
}

void CFleetHost::Finish()
{
    std::lock_guard lock(m_mutex);
    const std::string& text = m_status.GetText();
    if (m_printedUpTo < text.size())
        m_console.StatusLine(m_target, text.substr(m_printedUpTo));
    m_printedUpTo = text.size();
}

bool CFleetHost::PromptOkCancel(const std::string& text)
{
    const bool ok = m_console.Prompt(text);
    if (!ok)
        m_operatorCancelled.store(true);
    return ok;
}

void CFleetHost::NoteVolumeUnavailable(const std::string& path, uint32_t error)
{
    const std::string reason = error == EINVAL ? "not a regular file" : std::strerror(static_cast<int>(error));
    m_console.NoteOnce("cannot open " + path + ": " + reason);
}

void CFleetHost::ReportError(const std::string& text)
{
    m_reportedError.store(true);
    m_console.Error(m_target, text);
}

void CFleetHost::PostUpdateFinished()
{
    m_endMicros.store(NowMicros());
    m_finished.store(true);
}

std::string CFleetHost::CurrentLine() const
{
    std::lock_guard lock(m_mutex);
    const std::string& text = m_status.GetText();
    // Between two lines, the one just ended stays on show until the next one begins.
    return m_printedUpTo < text.size() ? text.substr(m_printedUpTo) : m_lastLine;
}

std::string CFleetHost::StatusText() const
{
    std::lock_guard lock(m_mutex);
    return m_status.GetText();
}

double CFleetHost::Seconds() const
{
    const int64_t end = m_endMicros.load();
    return static_cast<double>((end >= 0 ? end : NowMicros()) - m_startMicros.load()) / 1e6;
}
