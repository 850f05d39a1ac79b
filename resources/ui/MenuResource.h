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
// The edit and pane commands of the accelerator table: their keys are taken by the
// window and do nothing, also inside the form's text boxes.
constexpr int kIdEditUndo = 57643;
constexpr int kIdEditCut = 57635;
constexpr int kIdEditCopy = 57634;
constexpr int kIdEditPaste = 57637;
constexpr int kIdNextPane = 57680;
constexpr int kIdPrevPane = 57681;

// One row of menu 128: a popup title (command 0, text set), an item, or a separator
// (command 0, no text). Texts keep their mnemonics and the tab before a key name.
struct MenuEntry {
    bool popup;
    int command;
    const char* text;
};

const MenuEntry* GetMainMenu(Language language, std::size_t& count);

// One key of accelerator table 128 (the same in both languages): a virtual-key code as the
// platform numbers the keys (a letter as its capital, 0x08 Backspace, 0x2D Insert, 0x2E
// Delete, 0x75 F6), the modifiers that must be down, and the command.
struct AcceleratorEntry {
    int key;
    bool control;
    bool shift;
    bool alt;
    int command;
};

const AcceleratorEntry* GetAccelerators(std::size_t& count);

// Tool bar 128, buttons in order; 0 stands for the separator.
const int* GetToolBarCommands(std::size_t& count);

}  // namespace zorflash
