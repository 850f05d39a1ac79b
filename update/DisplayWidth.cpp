#include "update/DisplayWidth.h"

#include <clocale>
#include <cwchar>
#include <locale.h>

namespace zorflash {

namespace {
// The terminal's widths come from the C library's tables for UTF-8, whatever locale the
// operator runs in (the status text is UTF-8 in every language).
locale_t Utf8Locale()
{
    static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    return locale;
}

// One character from `text` at `at`: its width, and `at` moved past it. A byte that does
// not begin a valid sequence counts as one column (it is shown as a replacement).
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
    const locale_t utf8 = Utf8Locale();
    if (utf8 == static_cast<locale_t>(nullptr))
        return code >= 0x1100 ? 2 : 1;  // no UTF-8 tables: assume the wide scripts
    const locale_t previous = uselocale(utf8);
    const int width = wcwidth(static_cast<wchar_t>(code));
    uselocale(previous);
    return width < 0 ? 1 : width;
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

}  // namespace zorflash
