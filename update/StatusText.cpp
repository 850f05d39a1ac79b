#include "update/StatusText.h"

namespace zorflash {

std::string WithoutLineEnds(std::string text)
{
    while (!text.empty() && (text.front() == '\r' || text.front() == '\n'))
        text.erase(text.begin());
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n'))
        text.pop_back();
    return text;
}

std::string LastStatusLine(const std::string& text)
{
    const std::string trimmed = WithoutLineEnds(text);
    const std::size_t cut = trimmed.rfind("\r\n");
    return cut == std::string::npos ? trimmed : trimmed.substr(cut + 2);
}

}  // namespace zorflash
