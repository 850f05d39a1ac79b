#include "win32/EditContextMenu.h"

#include "win32/WideUiText.h"
#include "win32/WinResource.h"

#include <commctrl.h>

namespace zorflash {

namespace {
constexpr UINT_PTR kSubclassId = 61340;
constexpr unsigned kIdsEditUndo = 61340;  // .. 61345: Cut, Copy, Paste, Delete, Select All

enum Command : UINT { kUndo = 1, kCut, kCopy, kPaste, kDelete, kSelectAll };
}  // namespace

CEditContextMenu::~CEditContextMenu()
{
    for (HWND edit : m_edits) {
        if (IsWindow(edit))
            RemoveWindowSubclass(edit, EditProc, kSubclassId);
    }
}

void CEditContextMenu::Attach(HWND edit)
{
    if (edit && SetWindowSubclass(edit, EditProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this)))
        m_edits.push_back(edit);
}

LRESULT CALLBACK CEditContextMenu::EditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                            DWORD_PTR self)
{
    if (message == WM_CONTEXTMENU) {
        Show(edit, lParam);
        return 0;
    }
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(edit, EditProc, kSubclassId);
        auto& edits = reinterpret_cast<CEditContextMenu*>(self)->m_edits;
        std::erase(edits, edit);
    }
    return DefSubclassProc(edit, message, wParam, lParam);
}

void CEditContextMenu::Show(HWND edit, LPARAM where)
{
    const bool writable = (GetWindowLongW(edit, GWL_STYLE) & ES_READONLY) == 0 && IsWindowEnabled(edit);
    DWORD start = 0, end = 0;
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    const bool selected = start != end;
    const DWORD length = static_cast<DWORD>(GetWindowTextLengthW(edit));
    const bool allSelected = start == 0 && end >= length;

    CMenuHandle menu(CreatePopupMenu());
    if (!menu)
        return;
    auto add = [&](Command command, bool enabled) {
        const std::wstring text = WideUiText(kIdsEditUndo + command - kUndo);
        AppendMenuW(menu.Get(), MF_STRING | (enabled ? MF_ENABLED : MF_GRAYED), command, text.c_str());
    };
    if (writable) {
        add(kUndo, SendMessageW(edit, EM_CANUNDO, 0, 0) != 0);
        AppendMenuW(menu.Get(), MF_SEPARATOR, 0, nullptr);
        add(kCut, selected);
    }
    add(kCopy, selected);
    if (writable) {
        add(kPaste, IsClipboardFormatAvailable(CF_UNICODETEXT) != 0);
        add(kDelete, selected);
    }
    AppendMenuW(menu.Get(), MF_SEPARATOR, 0, nullptr);
    add(kSelectAll, length > 0 && !allSelected);

    POINT at{static_cast<short>(LOWORD(where)), static_cast<short>(HIWORD(where))};
    if (where == static_cast<LPARAM>(-1)) {
        // From the keyboard (the menu key, Shift+F10): at the box's corner.
        RECT box{};
        GetWindowRect(edit, &box);
        at = {box.left + 4, box.top + 4};
    }
    SetFocus(edit);
    const UINT chosen = static_cast<UINT>(TrackPopupMenu(menu.Get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY,
                                                         at.x, at.y, 0, edit, nullptr));
    switch (chosen) {
    case kUndo: SendMessageW(edit, WM_UNDO, 0, 0); break;
    case kCut: SendMessageW(edit, WM_CUT, 0, 0); break;
    case kCopy: SendMessageW(edit, WM_COPY, 0, 0); break;
    case kPaste: SendMessageW(edit, WM_PASTE, 0, 0); break;
    case kDelete: SendMessageW(edit, WM_CLEAR, 0, 0); break;
    case kSelectAll: SendMessageW(edit, EM_SETSEL, 0, -1); break;
    default: break;
    }
}

}  // namespace zorflash
