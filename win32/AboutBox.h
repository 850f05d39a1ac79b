#pragma once

#include <windows.h>

namespace zorflash {

// The about box (template 100): the program's name and version, the maker's notice and
// the program's icon in the room the template keeps left of the texts. Modal; OK, Enter,
// Esc and the close box end it.
class CAboutBox {
public:
    static void Show(HWND owner);

private:
    struct Start;
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
};

}  // namespace zorflash
