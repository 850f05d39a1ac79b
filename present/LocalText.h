#pragma once

#include "present/DisplayTexts.h"
#include "resources/strings/Language.h"

#include <initializer_list>
#include <string>
#include <vector>

namespace zorflash {

// A sentence kept as what it says (a text id and its values) rather than as words of one
// language: a failure's reason is worded for the operator in the run's language on stderr
// and in English in the JSON that scripts match, from the one value. A value is verbatim
// text (a path, a number, the system's own error text, bytes the instrument sent) or a
// sentence of its own, worded in the same language as the one around it.
class CLocalText {
public:
    CLocalText() = default;
    // Implicit: a path, a number or a system text stands for itself in every language.
    CLocalText(std::string verbatim);
    CLocalText(const char* verbatim);

    static CLocalText Say(CDisplayTexts::Id id, std::initializer_list<CLocalText> values = {});
    // A text already worded in both languages (a numbered text of the string tables).
    static CLocalText Both(std::string english, std::string japanese);

    bool Empty() const { return m_pieces.empty(); }
    std::string Text(Language language) const;
    CLocalText& operator+=(const CLocalText& more);
    friend CLocalText operator+(CLocalText left, const CLocalText& right) { return left += right; }

private:
    // Complete before the list of pieces is declared: the inline members above are compiled
    // at the end of the class, and clang's library needs the element type complete there.
    struct Piece {
        enum class Kind { Verbatim, Said, Both } kind = Kind::Verbatim;
        CDisplayTexts::Id id{};
        std::string verbatim;  // the English, for Both
        std::string japanese;  // for Both
        std::vector<CLocalText> values;
    };
    std::vector<Piece> m_pieces;  // worded one after the other
};

}  // namespace zorflash
