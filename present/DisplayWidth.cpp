#include "present/DisplayWidth.h"

#include <cstddef>

namespace zorflash {

namespace {
// Columns of a character, by the Unicode East Asian width (wide and fullwidth take two)
// and the marks that take none. Kept here rather than asked of the C library, whose
// answer depends on a UTF-8 locale the operator may not run in (and which Windows lacks).
struct Range {
    char32_t first;
    char32_t last;
};
constexpr Range kZeroWidth[] = {
    {0x0300, 0x036F}, {0x0483, 0x0489}, {0x0591, 0x05BD}, {0x0610, 0x061A}, {0x064B, 0x065F},
    {0x200B, 0x200F}, {0x202A, 0x202E}, {0x2060, 0x2064}, {0x20D0, 0x20FF}, {0x302A, 0x302D},
    {0x3099, 0x309A}, {0xFE00, 0xFE0F}, {0xFE20, 0xFE2F}, {0xFEFF, 0xFEFF},
};
constexpr Range kWide[] = {
    {0x1100, 0x115F}, {0x231A, 0x231B}, {0x2329, 0x232A}, {0x23E9, 0x23EC}, {0x2E80, 0x303E},
    {0x3041, 0x33FF}, {0x3400, 0x4DBF}, {0x4E00, 0x9FFF}, {0xA000, 0xA4CF}, {0xA960, 0xA97F},
    {0xAC00, 0xD7A3}, {0xF900, 0xFAFF}, {0xFE10, 0xFE19}, {0xFE30, 0xFE6F}, {0xFF00, 0xFF60},
    {0xFFE0, 0xFFE6}, {0x1F300, 0x1F64F}, {0x1F900, 0x1F9FF}, {0x20000, 0x3FFFD},
};

bool In(const Range* ranges, size_t count, char32_t code)
{
    for (size_t i = 0; i < count; ++i)
        if (code >= ranges[i].first && code <= ranges[i].last)
            return true;
    return false;
}

// One character from `text` at `at`: its width, and `at` moved past it. A byte that does
// not begin a valid sequence counts as one column (it is shown as a replacement); a
// control character moves no column on (the texts shown have them escaped beforehand).
int NextWidth(const std::string& text, size_t& at)
{
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    int length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || at + static_cast<size_t>(length) > text.size()) {
        ++at;
        return 1;
    }
    char32_t code = length == 1 ? lead : lead & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        const unsigned char next = static_cast<unsigned char>(text[at + static_cast<size_t>(i)]);
        if ((next & 0xC0) != 0x80) {
            ++at;
            return 1;
        }
        code = (code << 6) | (next & 0x3F);
    }
    at += static_cast<size_t>(length);
    if (code < 0x20 || (code >= 0x7F && code < 0xA0))
        return 0;
    if (In(kZeroWidth, sizeof kZeroWidth / sizeof kZeroWidth[0], code))
        return 0;
    return In(kWide, sizeof kWide / sizeof kWide[0], code) ? 2 : 1;
}
}  // namespace

int CDisplayWidth::Of(const std::string& utf8)
{
    int width = 0;
    for (size_t at = 0; at < utf8.size();)
        width += NextWidth(utf8, at);
    return width;
}

std::string CDisplayWidth::Truncate(const std::string& utf8, int columns)
{
    int width = 0;
    size_t at = 0;
    while (at < utf8.size()) {
        size_t next = at;
        const int w = NextWidth(utf8, next);
        if (width + w > columns)
            break;
        width += w;
        at = next;
    }
    return utf8.substr(0, at);
}

std::string CDisplayWidth::TruncateWords(const std::string& utf8, int columns)
{
    // A word here is a run of ASCII other than blanks: an English word, a number, an
    // address. Japanese may break between any two of its characters.
    const auto inWord = [&utf8](size_t at) {
        const unsigned char c = static_cast<unsigned char>(utf8[at]);
        return c > ' ' && c < 0x80;
    };
    const std::string shown = Truncate(utf8, columns);
    size_t end = shown.size();
    if (end < utf8.size() && inWord(end))
        while (end > 0 && inWord(end - 1))
            --end;
    if (end == 0)
        return shown;
    while (end > 0 && utf8[end - 1] == ' ')
        --end;
    return utf8.substr(0, end);
}

}  // namespace zorflash
