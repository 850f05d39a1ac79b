#pragma once

#include <windows.h>

#include <vector>

namespace zorflash {

// The menu every text box of the form has, in the program's language rather than the
// system's: Undo, Cut, Copy, Paste, Delete and Select All, each enabled only where it
// applies (a read-only box offers Copy and Select All). It is how an operator copies the
// status log into a ticket, since the window's Ctrl+C is inert by design.
class CEditContextMenu {
public:
    CEditContextMenu() = default;
    CEditContextMenu(const CEditContextMenu&) = delete;
    CEditContextMenu& operator=(const CEditContextMenu&) = delete;
    ~CEditContextMenu();

    void Attach(HWND edit);

private:
    static LRESULT CALLBACK EditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                     DWORD_PTR self);
    static void Show(HWND edit, LPARAM where);

    std::vector<HWND> m_edits;
};

}  // namespace zorflash
