#pragma once

#include <QString>

// Numbered texts of the desktop application, in the language chosen at start-up.
constexpr unsigned kIdsAppTitle = 57344;
constexpr unsigned kIdsOpenCommand = 57601;
constexpr unsigned kIdsCommSettingsCommand = 32771;
constexpr unsigned kIdsExitCommand = 57665;
constexpr unsigned kIdsUpdateInProgress = 61330;
constexpr unsigned kIdsUpdateNotStarted = 61331;
constexpr unsigned kIdsSaveAsCaption = 61332;
constexpr unsigned kIdsAddressOutOfRange = 61333;
constexpr unsigned kIdsProgressSection = 61334;
constexpr unsigned kIdsProgressFigures = 61335;
constexpr unsigned kIdsUpdateCompleted = 61336;
constexpr unsigned kIdsUpdateFailed = 61337;
constexpr unsigned kIdsUpdateCancelled = 61338;
constexpr unsigned kIdsEditUndo = 61340;  // .. 61345: Cut, Copy, Paste, Delete, Select All

QString UiText(unsigned id);
// "Zorflash": the caption of the main window and of the program's own message boxes.
QString AppTitle();
// The part of a command's string after "\n", which the tool bar shows as its tool tip.
QString ToolTipText(unsigned commandId);
