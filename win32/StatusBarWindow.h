#pragma once

#include <windows.h>

#include <string>

namespace zorflash {

// The frame's status bar with the progress of an update, as the Qt application shows it:
// the figures (bytes, rate, time left) or the idle prompt or the outcome, the section of a
// two-section file, and a bar with its percent. It shows what it is given and nothing more.
class CStatusBarWindow {
public:
    CStatusBarWindow() = default;
    CStatusBarWindow(const CStatusBarWindow&) = delete;
    CStatusBarWindow& operator=(const CStatusBarWindow&) = delete;

    bool Create(HWND frame, int id);
    HWND Handle() const { return m_bar; }
    int Height() const;

    // percent < 0 hides the bar; an empty section hides its part. tip: the figures' whole
    // story, shown when the part is too narrow for its text.
    void Show(const std::wstring& figures, const std::wstring& section, int percent, const std::wstring& tip = {});
    // The frame has been resized or the bar shown again.
    void LayOut();

private:
    HWND m_bar = nullptr;
    HWND m_progress = nullptr;
    std::wstring m_section;
    std::wstring m_tip;  // the last tip given, so an unchanged one is not sent again
    int m_percent = -1;
};

}  // namespace zorflash
