#pragma once

// A small terminal for tests: it takes what a program writes (UTF-8 text, CR, LF and the
// few escape sequences a progress display uses) and keeps the screen and the lines that
// scrolled off it, so a test can check what a person would see. It notes every line that
// ran past the width, and on a resize it re-wraps its lines as most terminals do.

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

class ScreenModel {
public:
    ScreenModel(int width, int height) : m_width(width), m_height(height), m_rows(static_cast<size_t>(height)) {}

    void Write(const std::string& bytes)
    {
        for (size_t i = 0; i < bytes.size();) {
            const unsigned char c = static_cast<unsigned char>(bytes[i]);
            if (c == '\033') {
                i = Escape(bytes, i);
            } else if (c == '\r') {
                m_col = 0;
                ++i;
            } else if (c == '\n') {
                LineFeed();
                ++i;
            } else if (c < 0x20) {
                m_unknown.push_back(std::string(1, static_cast<char>(c)));
                ++i;
            } else {
                const size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : 4;
                uint32_t code = length == 1 ? c : c & (0x7F >> length);
                for (size_t k = 1; k < length && i + k < bytes.size(); ++k)
                    code = (code << 6) | (static_cast<unsigned char>(bytes[i + k]) & 0x3F);
                // Kana, kanji, hangul and full-width forms take two columns.
                const bool wide = (code >= 0x3000 && code <= 0x9FFF) || (code >= 0xAC00 && code <= 0xD7A3)
                                  || (code >= 0xFF01 && code <= 0xFF60);
                Put(bytes.substr(i, length), wide ? 2 : 1);
                i += length;
            }
        }
    }

    // The terminal is made `width` columns wide and `height` rows high: every line is
    // re-wrapped, and the cursor stays on the character it was on.
    void Resize(int width, int height)
    {
        std::vector<std::vector<Cell>> logical;
        int cursorLine = 0;
        size_t cursorOffset = 0;
        const size_t cursorRow = Top() + static_cast<size_t>(m_row);
        for (size_t r = 0; r < m_rows.size(); ++r) {
            if (r == 0 || !m_rows[r - 1].wrapped)
                logical.emplace_back();
            if (r == cursorRow) {
                cursorLine = static_cast<int>(logical.size()) - 1;
                cursorOffset = logical.back().size() + static_cast<size_t>(std::min(m_col, m_width - 1));
            }
            auto cells = m_rows[r].cells;
            if (!m_rows[r].wrapped)
                while (!cells.empty() && cells.back().text == " ")
                    cells.pop_back();
            logical.back().insert(logical.back().end(), cells.begin(), cells.end());
        }
        m_width = width;
        m_height = height;
        m_rows.clear();
        size_t newCursorRow = 0;
        for (size_t l = 0; l < logical.size(); ++l) {
            const size_t count = std::max<size_t>(1, (logical[l].size() + static_cast<size_t>(width) - 1) / static_cast<size_t>(width));
            for (size_t k = 0; k < count; ++k) {
                Row row;
                const size_t from = k * static_cast<size_t>(width);
                const size_t to = std::min(logical[l].size(), from + static_cast<size_t>(width));
                if (from < to)
                    row.cells.assign(logical[l].begin() + static_cast<long>(from), logical[l].begin() + static_cast<long>(to));
                row.wrapped = k + 1 < count;
                m_rows.push_back(row);
            }
            if (static_cast<int>(l) == cursorLine) {
                const size_t offset = std::min(cursorOffset, count * static_cast<size_t>(width) - 1);
                newCursorRow = m_rows.size() - count + offset / static_cast<size_t>(width);
                m_col = static_cast<int>(offset % static_cast<size_t>(width));
            }
        }
        // Rows below the cursor that are blank go; the screen is filled from the top.
        while (m_rows.size() > newCursorRow + 1 && m_rows.back().cells.empty())
            m_rows.pop_back();
        while (m_rows.size() < static_cast<size_t>(height))
            m_rows.emplace_back();
        m_row = static_cast<int>(newCursorRow) - static_cast<int>(Top());
        if (m_row < 0) {
            m_row = 0;
        }
    }

    // Every line, those scrolled off included, as a person reads them: wrapped rows
    // joined, trailing blanks and trailing empty lines dropped.
    std::vector<std::string> Lines() const
    {
        std::vector<std::string> lines;
        std::string line;
        for (size_t r = 0; r < m_rows.size(); ++r) {
            std::string text;
            for (const Cell& cell : m_rows[r].cells)
                text += cell.text;
            line += m_rows[r].wrapped ? text : text.substr(0, text.find_last_not_of(' ') + 1);
            if (!m_rows[r].wrapped) {
                lines.push_back(line);
                line.clear();
            }
        }
        while (!lines.empty() && lines.back().empty())
            lines.pop_back();
        return lines;
    }

    // The colour each of Lines() begins with.
    std::vector<int> Colours() const
    {
        std::vector<int> colours;
        for (size_t r = 0; r < m_rows.size(); ++r)
            if (r == 0 || !m_rows[r - 1].wrapped)
                colours.push_back(m_rows[r].cells.empty() ? 0 : m_rows[r].cells[0].colour);
        colours.resize(Lines().size());
        return colours;
    }

    // Times a line ran past the right edge, or anything was written in the last column.
    int Overflows() const { return m_overflows; }
    const std::vector<std::string>& Unknown() const { return m_unknown; }
    int CursorRow() const { return m_row; }
    int CursorColumn() const { return m_col; }

private:
    struct Cell {
        std::string text = " ";
        int colour = 0;  // the SGR number it was written with: 31 red, 32 green
    };
    struct Row {
        std::vector<Cell> cells;
        bool wrapped = false;  // continues on the next row
    };

    size_t Top() const { return m_rows.size() - static_cast<size_t>(m_height); }
    Row& Current() { return m_rows[Top() + static_cast<size_t>(m_row)]; }

    void LineFeed()
    {
        if (m_row == m_height - 1)
            m_rows.emplace_back();
        else
            ++m_row;
    }

    void Put(const std::string& text, int columns)
    {
        if (m_col + columns > m_width - 1)
            ++m_overflows;
        if (m_col + columns > m_width) {
            Current().wrapped = true;
            LineFeed();
            m_col = 0;
        }
        Row& row = Current();
        if (row.cells.size() < static_cast<size_t>(m_col + columns))
            row.cells.resize(static_cast<size_t>(m_col + columns));
        row.cells[static_cast<size_t>(m_col)] = {text, m_colour};
        if (columns == 2)
            row.cells[static_cast<size_t>(m_col + 1)].text = "";
        m_col += columns;
    }

    size_t Escape(const std::string& bytes, size_t at)
    {
        size_t i = at + 1;
        if (i >= bytes.size() || bytes[i] != '[') {
            m_unknown.push_back(bytes.substr(at, 2));
            return at + 2;
        }
        int n = 0;
        bool given = false;
        for (++i; i < bytes.size() && bytes[i] >= '0' && bytes[i] <= '9'; ++i) {
            n = n * 10 + (bytes[i] - '0');
            given = true;
        }
        if (i >= bytes.size()) {
            m_unknown.push_back(bytes.substr(at));
            return i;
        }
        const char command = bytes[i];
        m_col = std::min(m_col, m_width - 1);
        if (command == 'A') {
            m_row = std::max(0, m_row - (given ? std::max(n, 1) : 1));
        } else if (command == 'K' && n == 2) {
            Current().cells.clear();
            Current().wrapped = false;
        } else if (command == 'K' && n == 0) {
            if (Current().cells.size() > static_cast<size_t>(m_col))
                Current().cells.resize(static_cast<size_t>(m_col));
            Current().wrapped = false;
        } else if (command == 'J' && n == 0) {
            if (Current().cells.size() > static_cast<size_t>(m_col))
                Current().cells.resize(static_cast<size_t>(m_col));
            Current().wrapped = false;
            for (size_t r = Top() + static_cast<size_t>(m_row) + 1; r < m_rows.size(); ++r)
                m_rows[r] = Row{};
        } else if (command == 'm') {
            m_colour = n;
        } else {
            m_unknown.push_back(bytes.substr(at, i + 1 - at));
        }
        return i + 1;
    }

    int m_width;
    int m_height;
    std::vector<Row> m_rows;  // scrolled-off rows first; the last m_height rows are the screen
    int m_row = 0;
    int m_col = 0;
    int m_overflows = 0;
    int m_colour = 0;
    std::vector<std::string> m_unknown;
};

}  // namespace testsupport
