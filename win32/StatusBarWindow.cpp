#include "win32/StatusBarWindow.h"

#include <commctrl.h>

namespace zorflash {

namespace {
enum Part { kFigures, kSection, kPercent, kBar, kPartCount };

int TextWidth(HWND window, const std::wstring& text)
{
    HDC dc = GetDC(window);
    const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    return size.cx;
}
}  // namespace

bool CStatusBarWindow::Create(HWND frame, int id)
{
    // A failure's reason and next step outgrow the bar; the tip shows the whole of them.
    m_bar = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | SBARS_TOOLTIPS, 0, 0, 0, 0, frame,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    if (!m_bar)
        return false;
    m_progress = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | PBS_SMOOTH, 0, 0, 0, 0, m_bar, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    SendMessageW(m_progress, PBM_SETRANGE32, 0, 100);
    LayOut();
    return m_progress != nullptr;
}

int CStatusBarWindow::Height() const
{
    RECT r{};
    GetWindowRect(m_bar, &r);
    return r.bottom - r.top;
}

void CStatusBarWindow::LayOut()
{
    SendMessageW(m_bar, WM_SIZE, 0, 0);
    RECT client{};
    GetClientRect(m_bar, &client);
    const int right = client.right - GetSystemMetrics(SM_CXVSCROLL);
    const int barWidth = m_percent >= 0 ? TextWidth(m_bar, L"00000000") : 0;
    const int percentWidth = m_percent >= 0 ? TextWidth(m_bar, L"100%") + 8 : 0;
    const int sectionWidth = m_section.empty() ? 0 : TextWidth(m_bar, m_section) + 12;
    int edges[kPartCount];
    edges[kBar] = right;
    edges[kPercent] = edges[kBar] - barWidth;
    edges[kSection] = edges[kPercent] - percentWidth;
    edges[kFigures] = edges[kSection] - sectionWidth;
    SendMessageW(m_bar, SB_SETPARTS, kPartCount, reinterpret_cast<LPARAM>(edges));
    RECT place{};
    SendMessageW(m_bar, SB_GETRECT, kBar, reinterpret_cast<LPARAM>(&place));
    MoveWindow(m_progress, place.left + 1, place.top + 1, place.right - place.left - 2, place.bottom - place.top - 2,
               TRUE);
    ShowWindow(m_progress, m_percent >= 0 ? SW_SHOWNA : SW_HIDE);
}

void CStatusBarWindow::Show(const std::wstring& figures, const std::wstring& section, int percent,
                            const std::wstring& tip)
{
    if (tip != m_tip) {
        m_tip = tip;
        SendMessageW(m_bar, SB_SETTIPTEXTW, kFigures, reinterpret_cast<LPARAM>(m_tip.c_str()));
    }
    const bool relayout = (percent >= 0) != (m_percent >= 0) || section != m_section;
    m_section = section;
    m_percent = percent;
    SendMessageW(m_bar, SB_SETTEXTW, kFigures, reinterpret_cast<LPARAM>(figures.c_str()));
    SendMessageW(m_bar, SB_SETTEXTW, kSection, reinterpret_cast<LPARAM>(section.c_str()));
    const std::wstring percentText = percent >= 0 ? std::to_wstring(percent) + L"%" : std::wstring();
    SendMessageW(m_bar, SB_SETTEXTW, kPercent, reinterpret_cast<LPARAM>(percentText.c_str()));
    if (percent >= 0)
        SendMessageW(m_progress, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
    if (relayout)
        LayOut();
}

}  // namespace zorflash
