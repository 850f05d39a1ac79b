#include "app/UiStrings.h"

#include "platform/StringResource.h"

namespace zorflash {

namespace {
Language g_uiLanguage = Language::English;
}  // namespace

void SetUiLanguage(Language language)
{
    g_uiLanguage = language;
}

Language UiLanguage()
{
    return g_uiLanguage;
}

QString UiText(unsigned id)
{
    return QString::fromStdString(LoadStringResource(id, g_uiLanguage));
}

QString AppTitle()
{
    return UiText(kIdsAppTitle);
}

QString ToolTipText(unsigned commandId)
{
    const QString text = UiText(commandId);
    const qsizetype newline = text.indexOf(QLatin1Char('\n'));
    return newline < 0 ? text : text.mid(newline + 1);
}

}  // namespace zorflash
