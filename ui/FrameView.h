#pragma once

#include "ui/FormView.h"

#include <string>

namespace zorflash {

// The main window around the form, as CFramePresenter sees it: its title, the commands
// that change the settings, the Save dialog and its message boxes. A Qt main window and a
// Win32 frame implement it. Window thread only.
class IFrameView {
public:
    virtual ~IFrameView() = default;

    virtual void SetTitle(const std::string& title) = 0;
    // New, Open, Save and Communication Settings (menu, tool bar, accelerators).
    virtual void EnableSettingsCommands(bool enabled) = 0;
    // The Save As dialog: the chosen path (UTF-8), or an empty text when cancelled.
    virtual std::string ChooseSaveFile() = 0;
    virtual void ShowMessage(MessageIcon icon, const std::string& caption, const std::string& text) = 0;
};

}  // namespace zorflash
