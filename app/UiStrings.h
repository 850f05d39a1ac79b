#pragma once

#include "resources/strings/Language.h"
#include "ui/UiStringIds.h"

#include <QString>

namespace zorflash {

// The desktop application's language. It shows one language for its whole life: chosen
// before the first window exists (SetUiLanguage) and read on the window thread only; the
// presenters are given it when they are made, and an update started from a window gets it
// as its job's language.
void SetUiLanguage(Language language);
Language UiLanguage();

QString UiText(unsigned id);
// "Zorflash": the caption of the main window and of the program's own message boxes.
QString AppTitle();
// The part of a command's string after "\n", which the tool bar shows as its tool tip.
QString ToolTipText(unsigned commandId);

}  // namespace zorflash
