#include "ui/FileFilter.h"

#include "platform/StringResource.h"

#include <vector>

namespace zorflash {

namespace {
constexpr unsigned kIdsUpdateFileFilter = 61204;

std::vector<std::string> SplitBars(const std::string& text)
{
    std::vector<std::string> parts;
    std::string current;
    for (char c : text) {
        if (c == '|') {
            parts.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    parts.push_back(current);
    return parts;
}

// "*.R71;*.R72" -> "*.R71 *.R72", with "*.*" widened to "*".
std::string QtPatterns(const std::string& patterns)
{
    std::string out;
    std::string one;
    auto flush = [&] {
        if (one.empty())
            return;
        if (one == "*.*")
            one = "*";
        if (!out.empty())
            out += ' ';
        out += one;
        one.clear();
    };
    for (char c : patterns) {
        if (c == ';' || c == ' ')
            flush();
        else
            one += c;
    }
    flush();
    return out.empty() ? "*" : out;
}
}  // namespace

std::string BuildUpdateFileFilter(const char* fileExtension, Language language)
{
    const char* extension = fileExtension ? fileExtension : "";
    return FormatStringResource(language, kIdsUpdateFileFilter, extension, extension);
}

std::string ConvertFilterToQt(const std::string& filter)
{
    const std::vector<std::string> parts = SplitBars(filter);
    std::string out;
    // Pairs of name and pattern; an empty name is the "||" that ends the list.
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        std::string name = parts[i];
        if (name.empty())
            break;
        const std::string patterns = QtPatterns(parts[i + 1]);
        // Qt reads the patterns from the parentheses at the end of the name, so the
        // name's own "(...)" is replaced rather than followed by a second one.
        const size_t open = name.rfind('(');
        if (!name.empty() && name.back() == ')' && open != std::string::npos) {
            name.erase(open);
        } else if (!name.empty() && name.back() != ' ') {
            name += ' ';
        }
        if (!out.empty())
            out += ";;";
        out += name + "(" + patterns + ")";
    }
    return out;
}

}  // namespace zorflash
