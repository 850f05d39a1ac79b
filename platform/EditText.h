#pragma once

#include <string>

namespace zorflash {

// The text of a multi-line edit control and the requests the status log makes of it.
// Lines are separated by CR LF; positions are byte offsets into the UTF-8 text (CR and LF
// are single bytes, so line arithmetic is the same as the control's). The GUI's status
// box and the CLI's terminal both keep one of these, so the log has one meaning.
class CEditText {
public:
    int GetTextLength() const { return static_cast<int>(m_text.size()); }
    const std::string& GetText() const { return m_text; }
    void SetText(const std::string& text);

    // start -1 removes the selection (caret stays); end -1 selects to the end. Positions
    // are clamped to the text and the two ends may come in either order.
    void SetSel(int start, int end);
    int GetSelStart() const { return m_selStart; }
    int GetSelEnd() const { return m_selEnd; }
    // Replaces the selection; the caret ends up behind the inserted text.
    void ReplaceSel(const std::string& text);
    // Line number holding position charIndex (-1: the caret's line).
    int LineFromChar(int charIndex) const;
    // Position of the first character of line (-1: the caret's line); -1 past the last line.
    int LineIndex(int line) const;
    int GetLineCount() const;

private:
    std::string m_text;
    int m_selStart = 0;
    int m_selEnd = 0;
};

}  // namespace zorflash
