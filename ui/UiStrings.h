#pragma once

#include <QString>

// Numbered texts of the desktop application, in the language chosen at start-up.
constexpr unsigned kIdsAppTitle = 57344;
constexpr unsigned kIdsOpenCommand = 57601;
constexpr unsigned kIdsCommSettingsCommand = 32771;
constexpr unsigned kIdsExitCommand = 57665;
constexpr unsigned kIdsUpdateInProgress = 61330;
constexpr unsigned kIdsUpdateNotStarted = 61331;

QString UiText(unsigned id);
// "Zorflash": the caption of the main window and of the program's own message boxes.
QString AppTitle();
// The part of a command's string after "\n", which the tool bar shows as its tool tip.
QString ToolTipText(unsigned commandId);
