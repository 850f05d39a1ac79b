#pragma once

namespace zorflash {

// Numbered texts of the desktop application (resources/strings), the same for every view.
constexpr unsigned kIdsAppTitle = 57344;
constexpr unsigned kIdsIdlePrompt = 57345;  // "Ready", the status bar when no update runs
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
constexpr unsigned kIdsNotARegularFile = 61339;
constexpr unsigned kIdsEditUndo = 61340;  // .. 61345: Cut, Copy, Paste, Delete, Select All
constexpr unsigned kIdsFileForOtherModel = 61380;
constexpr unsigned kIdsFileForNoModel = 61381;
constexpr unsigned kIdsVolumeOneName = 61382;
constexpr unsigned kIdsLookingForVolume = 61383;
constexpr unsigned kIdsTargetError = 61384;
constexpr unsigned kIdsNoUsbInstrument = 61385;
constexpr unsigned kIdsNoUsbAnswer = 61386;
constexpr unsigned kIdsLinkFailed = 61387;

}  // namespace zorflash
