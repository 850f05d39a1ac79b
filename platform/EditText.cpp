#include "platform/EditText.h"

#include <algorithm>

namespace zorflash {

void CEditText::SetText(const std::string& text)
{
    m_text = text;
    m_selStart = m_selEnd = 0;
}

void CEditText::SetSel(int start, int end)
{
    const int length = GetTextLength();
    if (start == -1) {
        m_selStart = m_selEnd;
        return;
    }
    if (end == -1)
        end = length;
    start = std::clamp(start, 0, length);
    end = std::clamp(end, 0, length);
    if (start > end)
        std::swap(start, end);
    m_selStart = start;
    m_selEnd = end;
}

void CEditText::ReplaceSel(const std::string& text)
{
    m_text.replace(static_cast<size_t>(m_selStart), static_cast<size_t>(m_selEnd - m_selStart), text);
    m_selStart += static_cast<int>(text.size());
    m_selEnd = m_selStart;
}

int CEditText::LineFromChar(int charIndex) const
{
    if (charIndex < 0)
        charIndex = m_selStart;
    const size_t limit = std::min(static_cast<size_t>(charIndex), m_text.size());
    int line = 0;
    for (size_t i = 0; i + 2 <= limit; ++i) {
        if (m_text[i] == '\r' && m_text[i + 1] == '\n') {
            ++line;
            ++i;
        }
    }
    return line;
}

int CEditText::LineIndex(int line) const
{
    if (line < 0)
        line = LineFromChar(m_selStart);
    if (line == 0)
        return 0;
    int current = 0;
    for (size_t i = 0; i + 1 < m_text.size(); ++i) {
        if (m_text[i] == '\r' && m_text[i + 1] == '\n') {
            if (++current == line)
                return static_cast<int>(i + 2);
            ++i;
        }
    }
    return -1;
}

int CEditText::GetLineCount() const
{
    return LineFromChar(GetTextLength()) + 1;
}

}  // namespace zorflash
