#include "present/PrintableText.h"

#include <cstdio>

namespace zorflash {

std::string PrintableText(const std::string& text)
{
    std::string shown;
    shown.reserve(text.size());
    for (const char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            shown += escaped;
        } else if (c == '\\') {
            shown += "\\\\";
        } else {
            shown += c;  // UTF-8 of a non-ASCII name passes as it is
        }
    }
    return shown;
}

}  // namespace zorflash
