#include "win32/LabelFonts.h"

#include <algorithm>
#include <string>

namespace zorflash {

void CLabelFonts::Fit(HWND dialog, const DialogTemplate& layout)
{
    const HFONT font = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
    LOGFONTW shape{};
    if (!font || !GetObjectW(font, sizeof(shape), &shape))
        return;
    HDC dc = GetDC(dialog);
    const HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    HWND child = GetWindow(dialog, GW_CHILD);
    for (size_t i = 0; i < layout.itemCount && child; ++i, child = GetWindow(child, GW_HWNDNEXT)) {
        const DialogItemKind kind = layout.items[i].kind;
        if (kind != DialogItemKind::Label && kind != DialogItemKind::PlainText && kind != DialogItemKind::CheckBox)
            continue;
        std::wstring text(static_cast<size_t>(GetWindowTextLengthW(child)) + 1, L'\0');
        text.resize(static_cast<size_t>(GetWindowTextW(child, text.data(), static_cast<int>(text.size()))));
        SIZE needed{};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &needed);
        RECT box{};
        GetClientRect(child, &box);
        // A check box's text starts right of its box.
        const int room = box.right - (kind == DialogItemKind::CheckBox ? GetSystemMetrics(SM_CXMENUCHECK) + 4 : 0);
        if (needed.cx <= room || needed.cx <= 0 || room <= 0)
            continue;
        LOGFONTW narrow = shape;
        narrow.lfWidth = std::max(metrics.tmAveCharWidth * 60 / 100,
                                  static_cast<LONG>(metrics.tmAveCharWidth * room / needed.cx));
        CFontHandle fitted(CreateFontIndirectW(&narrow));
        if (!fitted)
            continue;
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(fitted.Get()), FALSE);
        m_fonts.push_back(std::move(fitted));
    }
    SelectObject(dc, old);
    ReleaseDC(dialog, dc);
}

}  // namespace zorflash
