#include "update/StatusLog.h"

#include "update/UpdateHost.h"

namespace zorflash {

void CStatusLog::Clear()
{
    m_text.SetText(std::string());
    m_host.OnStatusLogChanged(m_text);
}

// The selection is placed where the text goes and the caret scrolled there before the
// replacement, as the edit control is driven; scrolling is the host's business, which
// follows the caret it is handed.
void CStatusLog::Append(const std::string& text)
{
    const int n = m_text.GetTextLength();
    m_text.SetSel(n, n);
    m_text.ReplaceSel(text);
    m_host.OnStatusLogChanged(m_text);
}

void CStatusLog::ReplaceLastLine(const std::string& text)
{
    const int n = m_text.GetTextLength();
    const int line = m_text.LineFromChar(n);
    const int start = m_text.LineIndex(line);
    m_text.SetSel(start, n);
    m_text.ReplaceSel(text);
    m_host.OnStatusLogChanged(m_text);
}

}  // namespace zorflash
