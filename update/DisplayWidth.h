#pragma once

#include <string>

namespace zorflash {

// Columns a UTF-8 text takes on a terminal: a Japanese character takes two, a combining
// mark none. The progress line is measured in columns, never in bytes, so that it fits
// the terminal's width in either language.
class CDisplayWidth {
public:
    static int Of(const std::string& utf8);
    // The longest leading part of the text (whole characters) that fits `columns`.
    static std::string Truncate(const std::string& utf8, int columns);
};

}  // namespace zorflash
