#pragma once

#include "ui/FramePresenter.h"
#include "win32/FormWindow.h"
#include "win32/StatusBarWindow.h"
#include "win32/WinResource.h"

#include <windows.h>
#include <shellapi.h>

#include <memory>
#include <string>

namespace zorflash {

class CZorflashDoc;

// The main window: a fixed-size frame around the form with the menu, the tool bar, the
// accelerator keys and the status bar. Its commands go to the form's or the frame's
// presenter; it decides nothing itself. A file dropped on it is chosen as Browse would.
class CFrameWindow : public IFrameView {
public:
    static constexpr wchar_t kClassName[] = L"ZorflashFrame";

    CFrameWindow(CZorflashDoc& document, Language language);
    ~CFrameWindow() override;
    CFrameWindow(const CFrameWindow&) = delete;
    CFrameWindow& operator=(const CFrameWindow&) = delete;

    bool Create(int show);
    // The program's message loop; returns the exit code.
    int Run();

    // IFrameView
    void SetTitle(const std::string& title) override;
    void EnableSettingsCommands(bool enabled) override;
    std::string ChooseSaveFile() override;
    void ShowMessage(MessageIcon icon, const std::string& caption, const std::string& text) override;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnCommand(int command);
    void OnDropFiles(HDROP drop);
    LRESULT OnNotify(NMHDR* header);
    bool CreateMenuBar();
    bool CreateToolBar();
    void CreateAccelerators();
    void FitToForm();
    void ToggleBar(int command, HWND bar);

    CZorflashDoc& m_document;
    Language m_language;
    HWND m_hwnd = nullptr;
    HWND m_toolBar = nullptr;
    CStatusBarWindow m_statusBar;
    CAccelHandle m_accelerators;
    std::wstring m_tipText;
    std::unique_ptr<CFormWindow> m_form;
    // Made once the form exists, gone before it: it follows the form's presenter.
    std::unique_ptr<CFramePresenter> m_presenter;
};

}  // namespace zorflash
