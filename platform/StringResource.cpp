#include "platform/StringResource.h"

#include "resources/strings/StringTable.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace zorflash {

namespace {
bool StartsWithJa(const char* value)
{
    return value && value[0] == 'j' && value[1] == 'a';
}
}  // namespace

bool LanguageFromName(const std::string& name, Language& out)
{
    if (name == "en" || name.rfind("en_", 0) == 0 || name == "C" || name == "POSIX") {
        out = Language::English;
        return true;
    }
    if (name == "ja" || name.rfind("ja_", 0) == 0) {
        out = Language::Japanese;
        return true;
    }
    return false;
}

Language LanguageFromEnvironment(const char* explicitChoice)
{
    Language language = Language::English;
    if (explicitChoice && *explicitChoice && LanguageFromName(explicitChoice, language))
        return language;
    const char* forced = std::getenv("ZORFLASH_LANG");
    if (forced && *forced && LanguageFromName(forced, language))
        return language;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return StartsWithJa(value) ? Language::Japanese : Language::English;
    }
    return Language::English;
}

std::string LoadStringResource(unsigned id, Language language)
{
    const StringEntry* entry = FindStringEntry(id);
    if (!entry)
        return {};
    return language == Language::Japanese ? entry->japanese : entry->english;
}

std::string FormatStringResource(Language language, unsigned id, ...)
{
    std::string format = LoadStringResource(id, language);
    va_list args;
    va_start(args, id);
    va_list copy;
    va_copy(copy, args);
    int needed = std::vsnprintf(nullptr, 0, format.c_str(), copy);
    va_end(copy);
    std::string out;
    if (needed > 0) {
        std::vector<char> buffer(static_cast<size_t>(needed) + 1);
        std::vsnprintf(buffer.data(), buffer.size(), format.c_str(), args);
        out.assign(buffer.data(), static_cast<size_t>(needed));
    }
    va_end(args);
    return out;
}

}  // namespace zorflash
