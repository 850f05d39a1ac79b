#include "platform/DecimalText.h"

#include <cctype>

namespace zorflash {

DecimalPrefix ReadDecimalPrefix(std::string_view text)
{
    DecimalPrefix read;
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        ++read.digits;
        if (read.value < kDecimalSaturation)
            read.value = read.value * 10 + (text[i] - '0');
    }
    if (read.value > kDecimalSaturation)
        read.value = kDecimalSaturation;
    if (negative)
        read.value = -read.value;
    read.end = i;
    return read;
}

}  // namespace zorflash
