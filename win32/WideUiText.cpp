#include "win32/WideUiText.h"

#include "platform/StringResource.h"
#include "platform/win32/WideText.h"

namespace zorflash {

namespace {
Language g_language = Language::English;
}  // namespace

void SetWideUiLanguage(Language language)
{
    g_language = language;
}

Language WideUiLanguage()
{
    return g_language;
}

std::wstring WideUiText(unsigned id)
{
    return WideFromUtf8(LoadStringResource(id, g_language));
}

std::wstring WideToolTip(unsigned commandId)
{
    const std::wstring text = WideUiText(commandId);
    const size_t newline = text.find(L'\n');
    return newline == std::wstring::npos ? text : text.substr(newline + 1);
}

}  // namespace zorflash
