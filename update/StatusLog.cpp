#include "update/StatusLog.h"

#include "platform/StringResource.h"
#include "update/UpdateHost.h"
#include "update/UpdateProtocol.h"

namespace zorflash {

void CStatusLog::Clear()
{
    m_text.SetText(std::string());
    m_progressOpen = false;
    m_host.OnStatusLogChanged(m_text, LogChange{});
}

// The selection is placed where the text goes and the caret scrolled there before the
// replacement, as the edit control is driven; scrolling is the host's business, which
// follows the caret it is handed.
void CStatusLog::Append(const std::string& text, unsigned messageId, std::optional<UpdateOutcome> ends)
{
    const int n = m_text.GetTextLength();
    m_text.SetSel(n, n);
    m_text.ReplaceSel(text);
    const bool glued = m_progressOpen && text.rfind("\r\n", 0) != 0;
    m_progressOpen = false;
    m_host.OnStatusLogChanged(m_text, LogChange{LogChange::Kind::Appended, text, messageId, glued, ends});
}

void CStatusLog::End(UpdateOutcome outcome, unsigned messageId, Language language)
{
    if (messageId == 0)
        return;
    // Opening the target, completion and an aborted prompt continue the text as it stands;
    // every other failure starts on a line of its own.
    const bool ownLine = messageId != IDS_CANNOT_OPEN_TARGET && messageId != IDS_TRANSFER_COMPLETED &&
                         messageId != IDS_ABORTED_BY_INSTRUCTION;
    const std::string text = LoadStringResource(messageId, language);
    Append(ownLine ? "\r\n" + text : text, messageId, outcome);
}

void CStatusLog::ReplaceLastLine(const std::string& text)
{
    const int n = m_text.GetTextLength();
    const int line = m_text.LineFromChar(n);
    const int start = m_text.LineIndex(line);
    m_text.SetSel(start, n);
    m_text.ReplaceSel(text);
    m_progressOpen = true;
    // Writing over an empty last line only adds to the text, and is told so.
    const auto kind = start == n ? LogChange::Kind::Appended : LogChange::Kind::LastLineReplaced;
    m_host.OnStatusLogChanged(m_text, LogChange{kind, text, 0, false, std::nullopt});
}

}  // namespace zorflash
