#include "cli/output/StatusLines.h"

#include <algorithm>

namespace zorflash {

void CStatusLines::Take(std::vector<Line>& lines, std::size_t end)
{
    lines.push_back({m_text.substr(m_printedUpTo, end - m_printedUpTo),
                     m_printedUpTo == m_endingAt ? m_endingColour : OutcomeColour::None});
}

std::vector<CStatusLines::Line> CStatusLines::Apply(const std::string& text, const LogChange& change)
{
    std::vector<Line> lines;
    const std::size_t before = m_text.size();
    if (change.kind == LogChange::Kind::Cleared || m_printedUpTo > text.size()) {
        // An emptied log is a new run.
        m_printedUpTo = 0;
        m_endingAt = std::string::npos;
    } else if (change.gluedToProgress && m_printedUpTo < before) {
        Take(lines, before);
        m_printedUpTo = before;
    }
    m_text = text;
    if (change.ends) {
        m_endingAt = before + std::min(change.text.size(), change.text.find_first_not_of("\r\n"));
        m_endingColour = COutcomeTable::Of(*change.ends).colour;
    }
    for (std::size_t end; (end = m_text.find("\r\n", m_printedUpTo)) != std::string::npos;) {
        Take(lines, end);
        m_printedUpTo = end + 2;
    }
    return lines;
}

std::vector<CStatusLines::Line> CStatusLines::Rest()
{
    std::vector<Line> lines;
    if (m_printedUpTo < m_text.size())
        Take(lines, m_text.size());
    m_printedUpTo = m_text.size();
    return lines;
}

}  // namespace zorflash
