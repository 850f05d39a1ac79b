#include "ui/EditLines.h"

namespace zorflash {

std::vector<std::string> SplitEditLines(const std::string& text)
{
    std::vector<std::string> lines(1);
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            lines.emplace_back();
            ++i;
        } else if (c == '\r' || c == '\n') {
            lines.back() += ' ';
        } else {
            lines.back() += c;
        }
    }
    return lines;
}

}  // namespace zorflash
