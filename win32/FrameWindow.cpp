#include "win32/FrameWindow.h"

#include "platform/win32/WideText.h"
#include "resources/ui/MenuResource.h"
#include "ui/UiStringIds.h"
#include "ui/ZorflashDoc.h"
#include "win32/AboutBox.h"
#include "win32/WideUiText.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <vector>

namespace zorflash {

namespace {
// The tool bar's pictures from the system's standard set, one per command.
int ToolBarImage(int command)
{
    switch (command) {
    case kIdFileOpen: return STD_FILEOPEN;
    case kIdCommSettings: return STD_PROPERTIES;
    default: return STD_DELETE;
    }
}

bool IsLockedCommand(int command)
{
    return command == kIdFileNew || command == kIdFileOpen || command == kIdFileSave || command == kIdCommSettings;
}
}  // namespace

CFrameWindow::CFrameWindow(CZorflashDoc& document, Language language)
    : m_document(document)
    , m_language(language)
{
}

CFrameWindow::~CFrameWindow()
{
    if (m_hwnd)
        DestroyWindow(m_hwnd);
}

bool CFrameWindow::Create(int show)
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    // Shared icons of the module: the system frees them.
    windowClass.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kIdrMainFrame), IMAGE_ICON,
                                                      GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON),
                                                      LR_SHARED));
    windowClass.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kIdrMainFrame), IMAGE_ICON,
                                                        GetSystemMetrics(SM_CXSMICON),
                                                        GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // the arrow
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kClassName;
    if (!RegisterClassExW(&windowClass))
        return false;

    // No resizing border and no maximize box: the window is as large as the form.
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    const std::wstring title = WideUiText(kIdsAppTitle);
    if (!CreateWindowExW(WS_EX_ACCEPTFILES, kClassName, title.c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT, 400,
                         300, nullptr, nullptr, instance, this))
        return false;
    if (!CreateMenuBar() || !CreateToolBar() || !m_statusBar.Create(m_hwnd, kIdViewStatusBar))
        return false;
    CreateAccelerators();

    m_form = std::make_unique<CFormWindow>(m_document.GetSettings(), m_language, m_statusBar);
    if (!m_form->Create(m_hwnd))
        return false;
    m_presenter = std::make_unique<CFramePresenter>(*this, m_document, m_form->Presenter(), m_language);
    m_document.OnNewDocument();
    m_form->Presenter().OnInitialUpdate();
    FitToForm();
    ShowWindow(m_form->Handle(), SW_SHOW);
    ShowWindow(m_hwnd, show);
    UpdateWindow(m_hwnd);
    SetFocus(GetNextDlgTabItem(m_form->Handle(), nullptr, FALSE));
    return true;
}

int CFrameWindow::Run()
{
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        // The accelerator table takes its keys before any control of this window, so the
        // edit keys are inert in the form's boxes too; dialogs and message boxes have
        // their own loops and keep their keys.
        const bool ours = message.hwnd == m_hwnd || IsChild(m_hwnd, message.hwnd);
        if (ours && TranslateAcceleratorW(m_hwnd, m_accelerators.Get(), &message))
            continue;
        if (m_form && m_form->TakeDialogKey(message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

bool CFrameWindow::CreateMenuBar()
{
    CMenuHandle bar(CreateMenu());
    if (!bar)
        return false;
    size_t count = 0;
    const MenuEntry* entries = GetMainMenu(m_language, count);
    HMENU popup = nullptr;
    for (size_t i = 0; i < count; ++i) {
        const MenuEntry& entry = entries[i];
        if (entry.popup) {
            // The bar owns its popups from here on.
            popup = CreatePopupMenu();
            AppendMenuW(bar.Get(), MF_POPUP, reinterpret_cast<UINT_PTR>(popup), WideFromUtf8(entry.text).c_str());
        } else if (!popup) {
            continue;
        } else if (entry.command == 0) {
            AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
        } else {
            AppendMenuW(popup, MF_STRING, static_cast<UINT_PTR>(entry.command), WideFromUtf8(entry.text).c_str());
        }
    }
    CheckMenuItem(bar.Get(), kIdViewToolBar, MF_BYCOMMAND | MF_CHECKED);
    CheckMenuItem(bar.Get(), kIdViewStatusBar, MF_BYCOMMAND | MF_CHECKED);
    if (!SetMenu(m_hwnd, bar.Get()))
        return false;
    bar.Release();  // the window destroys its menu
    return true;
}

bool CFrameWindow::CreateToolBar()
{
    m_toolBar = CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr,
                                WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_TOP, 0, 0, 0, 0, m_hwnd,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIdViewToolBar)),
                                GetModuleHandleW(nullptr), nullptr);
    if (!m_toolBar)
        return false;
    SendMessageW(m_toolBar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(m_toolBar, TB_LOADIMAGES, IDB_STD_SMALL_COLOR, reinterpret_cast<LPARAM>(HINST_COMMCTRL));
    size_t count = 0;
    const int* commands = GetToolBarCommands(count);
    std::vector<TBBUTTON> buttons;
    for (size_t i = 0; i < count; ++i) {
        TBBUTTON button{};
        if (commands[i] == 0) {
            button.fsStyle = BTNS_SEP;
        } else {
            button.iBitmap = ToolBarImage(commands[i]);
            button.idCommand = commands[i];
            button.fsState = TBSTATE_ENABLED;
            button.fsStyle = BTNS_BUTTON;
        }
        buttons.push_back(button);
    }
    SendMessageW(m_toolBar, TB_ADDBUTTONSW, buttons.size(), reinterpret_cast<LPARAM>(buttons.data()));
    SendMessageW(m_toolBar, TB_AUTOSIZE, 0, 0);
    return true;
}

void CFrameWindow::CreateAccelerators()
{
    size_t count = 0;
    const AcceleratorEntry* keys = GetAccelerators(count);
    std::vector<ACCEL> table;
    for (size_t i = 0; i < count; ++i) {
        ACCEL accel{};
        accel.fVirt = FVIRTKEY | (keys[i].control ? FCONTROL : 0) | (keys[i].shift ? FSHIFT : 0) |
                      (keys[i].alt ? FALT : 0);
        accel.key = static_cast<WORD>(keys[i].key);
        accel.cmd = static_cast<WORD>(keys[i].command);
        table.push_back(accel);
    }
    m_accelerators.Reset(CreateAcceleratorTableW(table.data(), static_cast<int>(table.size())));
}

void CFrameWindow::FitToForm()
{
    // The client area holds the tool bar, the form and the status bar, once and for all:
    // hiding a bar leaves its room empty rather than moving the form under the mouse.
    RECT toolBar{}, form{};
    GetWindowRect(m_toolBar, &toolBar);
    GetWindowRect(m_form->Handle(), &form);
    const int top = toolBar.bottom - toolBar.top;
    const int width = form.right - form.left;
    const int height = top + (form.bottom - form.top) + m_statusBar.Height();
    SetWindowPos(m_form->Handle(), nullptr, 0, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT window{}, client{};
    GetWindowRect(m_hwnd, &window);
    GetClientRect(m_hwnd, &client);
    const int outerWidth = (window.right - window.left) - client.right + width;
    const int outerHeight = (window.bottom - window.top) - client.bottom + height;
    SetWindowPos(m_hwnd, nullptr, 0, 0, outerWidth, outerHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // A menu bar that wraps at the new width takes room from the client area: fit again.
    GetClientRect(m_hwnd, &client);
    if (client.bottom != height)
        SetWindowPos(m_hwnd, nullptr, 0, 0, outerWidth, outerHeight + height - client.bottom,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(m_toolBar, TB_AUTOSIZE, 0, 0);
    m_statusBar.LayOut();
}

LRESULT CALLBACK CFrameWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* self = static_cast<CFrameWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->m_hwnd = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<CFrameWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    return self ? self->OnMessage(message, wParam, lParam) : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CFrameWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        OnCommand(LOWORD(wParam));
        return 0;
    case WM_NOTIFY:
        return OnNotify(reinterpret_cast<NMHDR*>(lParam));
    case WM_DROPFILES:
        OnDropFiles(reinterpret_cast<HDROP>(wParam));
        return 0;
    case WM_SIZE:
        if (m_toolBar)
            SendMessageW(m_toolBar, TB_AUTOSIZE, 0, 0);
        if (m_statusBar.Handle())
            m_statusBar.LayOut();
        return 0;
    case WM_CLOSE:
        // Refused, with a message, while an update runs: the worker writes to the form and
        // posts to it up to its last step.
        if (!m_presenter || m_presenter->OnClose())
            DestroyWindow(m_hwnd);
        return 0;
    case WM_DESTROY:
        if (m_form)
            m_form->Shutdown();
        m_presenter.reset();
        PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY: {
        const LRESULT result = DefWindowProcW(m_hwnd, message, wParam, lParam);
        SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, 0);
        m_hwnd = nullptr;
        return result;
    }
    default:
        return DefWindowProcW(m_hwnd, message, wParam, lParam);
    }
}

void CFrameWindow::OnCommand(int command)
{
    // A locked command does nothing, however it was reached.
    if (IsLockedCommand(command) && m_form->Presenter().IsUpdating())
        return;
    switch (command) {
    case kIdFileNew:
        m_presenter->OnFileNew();
        break;
    case kIdFileOpen:
        m_form->Presenter().OnBrowse();
        break;
    case kIdFileSave:
        m_presenter->OnFileSave();
        break;
    case kIdCommSettings:
        m_form->Presenter().OnSettings();
        break;
    case kIdAppExit:
        SendMessageW(m_hwnd, WM_CLOSE, 0, 0);
        break;
    case kIdAppAbout:
        CAboutBox::Show(m_hwnd);
        break;
    case kIdViewToolBar:
        ToggleBar(command, m_toolBar);
        break;
    case kIdViewStatusBar:
        ToggleBar(command, m_statusBar.Handle());
        break;
    default:
        break;  // Undo, Cut, Copy, Paste and the pane keys: taken and dropped
    }
}

void CFrameWindow::ToggleBar(int command, HWND bar)
{
    const bool shown = IsWindowVisible(bar) == FALSE;
    ShowWindow(bar, shown ? SW_SHOW : SW_HIDE);
    CheckMenuItem(GetMenu(m_hwnd), static_cast<UINT>(command), MF_BYCOMMAND | (shown ? MF_CHECKED : MF_UNCHECKED));
    if (shown && bar == m_statusBar.Handle())
        m_statusBar.LayOut();
}

void CFrameWindow::OnDropFiles(HDROP drop)
{
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    std::wstring path;
    if (count == 1) {
        path.resize(DragQueryFileW(drop, 0, nullptr, 0) + 1);
        path.resize(DragQueryFileW(drop, 0, path.data(), static_cast<UINT>(path.size())));
    }
    DragFinish(drop);
    // Files reach a window here only from the file system, so every one is local.
    if (m_presenter && m_presenter->AcceptsDrop(count, true) && !path.empty())
        m_presenter->OnDropFile(Utf8FromWide(path));
}

LRESULT CFrameWindow::OnNotify(NMHDR* header)
{
    if (header->code == TTN_GETDISPINFOW) {
        // The tool bar's tips: the part of each command's string after "\n".
        auto* info = reinterpret_cast<NMTTDISPINFOW*>(header);
        m_tipText = WideToolTip(static_cast<unsigned>(header->idFrom));
        info->lpszText = m_tipText.data();
        info->hinst = nullptr;
        return 0;
    }
    return DefWindowProcW(m_hwnd, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(header));
}

void CFrameWindow::SetTitle(const std::string& title)
{
    SetWindowTextW(m_hwnd, WideFromUtf8(title).c_str());
}

void CFrameWindow::EnableSettingsCommands(bool enabled)
{
    HMENU menu = GetMenu(m_hwnd);
    for (int command : {kIdFileNew, kIdFileOpen, kIdFileSave, kIdCommSettings}) {
        EnableMenuItem(menu, static_cast<UINT>(command), MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
        SendMessageW(m_toolBar, TB_ENABLEBUTTON, static_cast<WPARAM>(command), MAKELPARAM(enabled ? TRUE : FALSE, 0));
    }
    DrawMenuBar(m_hwnd);
}

std::string CFrameWindow::ChooseSaveFile()
{
    std::vector<wchar_t> path(32768, L'\0');
    const std::wstring caption = WideUiText(kIdsSaveAsCaption);
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = m_hwnd;
    dialog.lpstrFile = path.data();
    dialog.nMaxFile = static_cast<DWORD>(path.size());
    dialog.lpstrTitle = caption.c_str();
    dialog.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY;
    if (!GetSaveFileNameW(&dialog))
        return std::string();
    return Utf8FromWide(path.data());
}

void CFrameWindow::ShowMessage(MessageIcon icon, const std::string& caption, const std::string& text)
{
    const UINT style = MB_OK | (icon == MessageIcon::Warning ? MB_ICONWARNING : MB_ICONINFORMATION);
    MessageBoxW(m_hwnd, WideFromUtf8(text).c_str(), WideFromUtf8(caption).c_str(), style);
}

}  // namespace zorflash
