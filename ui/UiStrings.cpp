#include "ui/UiStrings.h"

#include "platform/StringResource.h"

QString UiText(unsigned id)
{
    return QString::fromStdString(LoadStringResource(id));
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
