#pragma once

#include "resources/strings/Language.h"

#include <QString>

namespace zorflash {

// Numbered texts of the desktop application. The application shows one language for its
// whole life: it is chosen before the first window exists (SetUiLanguage) and read on the
// window thread only; an update started from a window gets it as its job's language.
constexpr unsigned kIdsAppTitle = 57344;
constexpr unsigned kIdsOpenCommand = 57601;
constexpr unsigned kIdsCommSettingsCommand = 32771;
constexpr unsigned kIdsExitCommand = 57665;
constexpr unsigned kIdsUpdateInProgress = 61330;
constexpr unsigned kIdsUpdateNotStarted = 61331;
constexpr unsigned kIdsSaveAsCaption = 61332;
constexpr unsigned kIdsAddressOutOfRange = 61333;
constexpr unsigned kIdsUpdateCompleted = 61336;
constexpr unsigned kIdsUpdateFailed = 61337;
constexpr unsigned kIdsUpdateCancelled = 61338;
constexpr unsigned kIdsEditUndo = 61340;  // .. 61345: Cut, Copy, Paste, Delete, Select All

void SetUiLanguage(Language language);
Language UiLanguage();

QString UiText(unsigned id);
// "Zorflash": the caption of the main window and of the program's own message boxes.
QString AppTitle();
// The part of a command's string after "\n", which the tool bar shows as its tool tip.
QString ToolTipText(unsigned commandId);

}  // namespace zorflash
