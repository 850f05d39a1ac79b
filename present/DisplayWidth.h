#pragma once

#include <string>

namespace zorflash {

// Columns a UTF-8 text takes on a terminal: a Japanese character takes two, a combining
// mark or a control character none. The single progress line, the fleet block and the
// summary table all measure with this one rule, so a text that fits one fits the others.
class CDisplayWidth {
public:
    static int Of(const std::string& utf8);
    // The longest leading part of the text (whole characters) that fits `columns`.
    static std::string Truncate(const std::string& utf8, int columns);
    // As Truncate, but never ending inside a word or a number: "Sending (1153) Reco" or
    // "Record (20" read as something else. Only a first word wider than `columns` is cut,
    // having nowhere else to end.
    static std::string TruncateWords(const std::string& utf8, int columns);
};

}  // namespace zorflash
