#pragma once

#include "platform/EditText.h"
#include "resources/strings/Language.h"
#include "update/LogChange.h"

#include <string>

namespace zorflash {

class CUpdateHost;

// The update's status log: the text of a multi-line edit control, written with the
// control's own requests (length, set selection, scroll caret, replace selection, line
// from char, line index, set text), so it reads character for character as the status
// box always has. It belongs to the job; after each change the host is told, without
// waiting, and renders it as it likes.
class CStatusLog {
public:
    explicit CStatusLog(CUpdateHost& host) : m_host(host) {}

    // Empties the log (the start of every run).
    void Clear();
    // Appends at the end of the text: a numbered message (0: none), and the outcome it
    // announces if it is the run's last.
    void Append(const std::string& text, unsigned messageId = 0, std::optional<UpdateOutcome> ends = std::nullopt);
    // The run's last message (0: none), laid out as the status box has always shown it: the
    // failures the procedure words after a line end get their CR LF here. The job and the
    // CLI's pre-check both end a run through this, so a refused file reads as its update
    // would have ended.
    void End(UpdateOutcome outcome, unsigned messageId, Language language);
    // Writes over the last line: the progress text of the blocks.
    void ReplaceLastLine(const std::string& text);

    const CEditText& Text() const { return m_text; }

private:
    CUpdateHost& m_host;
    CEditText m_text;
    bool m_progressOpen = false;  // the last line is a progress text, not ended by CR LF
};

}  // namespace zorflash
