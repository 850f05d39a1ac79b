#include "win32/AboutBox.h"

#include "resources/ui/DialogTemplate.h"
#include "resources/ui/MenuResource.h"
#include "win32/DialogTemplateBuilder.h"
#include "win32/LabelFonts.h"
#include "win32/WideUiText.h"

namespace zorflash {

struct CAboutBox::Start {
    const DialogTemplate* layout;
    CLabelFonts fonts;
};

void CAboutBox::Show(HWND owner)
{
    const DialogTemplate* layout = FindDialogTemplate(kIddAboutBox, WideUiLanguage());
    if (!layout)
        return;
    const CDialogTemplateBuilder builder(*layout, CDialogTemplateBuilder::Frame::Modal);
    // The box's narrowed label fonts live until it has closed.
    Start start{layout, {}};
    DialogBoxIndirectParamW(GetModuleHandleW(nullptr), builder.Get(), owner, DialogProc,
                            reinterpret_cast<LPARAM>(&start));
}

INT_PTR CALLBACK CAboutBox::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: {
        auto* start = reinterpret_cast<Start*>(lParam);
        start->fonts.Fit(dialog, *start->layout);
        RECT place{10, 10, 31, 30};
        MapDialogRect(dialog, &place);
        HWND icon = CreateWindowExW(0, L"STATIC", nullptr, WS_CHILD | WS_VISIBLE | SS_ICON | SS_CENTERIMAGE,
                                    place.left, place.top, place.right - place.left, place.bottom - place.top, dialog,
                                    nullptr, GetModuleHandleW(nullptr), nullptr);
        // A shared icon of the module: the system frees it, not the dialog.
        const HANDLE image = LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kIdrMainFrame), IMAGE_ICON, 32, 32,
                                        LR_SHARED);
        SendMessageW(icon, STM_SETICON, reinterpret_cast<WPARAM>(image), 0);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        break;
    default:
        break;
    }
    return FALSE;
}

}  // namespace zorflash
