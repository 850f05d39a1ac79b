#pragma once

#include "resources/strings/Language.h"

#include <cstddef>

namespace zorflash {

// Command ids of the main window; menu items, tool bar buttons and keys carry them.
constexpr int kIdFileNew = 57600;
constexpr int kIdFileOpen = 57601;
constexpr int kIdFileSave = 57603;
constexpr int kIdAppExit = 57665;
constexpr int kIdAppAbout = 57664;
constexpr int kIdCommSettings = 32771;
constexpr int kIdViewToolBar = 59392;  // also the tool bar's own id
constexpr int kIdViewStatusBar = 59393;  // also the status bar's own id
constexpr int kIdrMainFrame = 128;

// One row of menu 128: a popup title (command 0, text set), an item, or a separator
// (command 0, no text). Texts keep their mnemonics and the tab before a key name.
struct MenuEntry {
    bool popup;
    int command;
    const char* text;
};

const MenuEntry* GetMainMenu(Language language, std::size_t& count);

}  // namespace zorflash
