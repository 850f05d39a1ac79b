// zorflash-window-probe WINDOW ID WHAT
//   WINDOW: "frame" (the main window), "dialog" (the topmost visible dialog box of the
//   program: settings, about, a message box, the file dialog) or "list" (every visible
//   top-level window, one a line: class, rectangle, title). "clipboard" alone prints the
//   clipboard's text.
//   ID: a control id, 0 for the window itself.
//   WHAT: "text" (its text, UTF-8, as it stands), "rect" (left top right bottom on the
//   screen), "state" (enabled visible checked), "selection" (an edit box's, in
//   characters), "children" (its child windows: class, id,
//   rectangle), "command=N" (post menu command N), "close" (ask the window to close).
// Exit 1 when the window or the control is not there (yet).
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {
HWND FindDialog()
{
    // Top-level windows come topmost first; the first visible dialog is the one in front.
    for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
        wchar_t name[64] = {};
        GetClassNameW(w, name, 64);
        if (IsWindowVisible(w) && std::wcscmp(name, L"#32770") == 0)
            return w;
    }
    return nullptr;
}

HWND FindControl(HWND window, int id)
{
    if (id == 0)
        return window;
    // The form's controls sit in a child dialog of the frame (a combo box's own edit
    // field has an id too, so only the dialog's direct children count).
    if (HWND form = FindWindowExW(window, nullptr, L"#32770", nullptr))
        if (HWND control = GetDlgItem(form, id))
            return control;
    // The frame's own children (the status bar, the tool bar) sit beside the form.
    return GetDlgItem(window, id);
}

void PrintUtf8(const std::wstring& text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    std::fwrite(out.data(), 1, out.size(), stdout);
}

std::wstring TextOf(HWND window)
{
    const LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(
        SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
    return text;
}

BOOL CALLBACK ListWindow(HWND w, LPARAM)
{
    if (!IsWindowVisible(w))
        return TRUE;
    wchar_t name[64] = {};
    GetClassNameW(w, name, 64);
    RECT r{};
    GetWindowRect(w, &r);
    std::printf("%ls %ld %ld %ld %ld ", name, r.left, r.top, r.right, r.bottom);
    std::fflush(stdout);
    PrintUtf8(TextOf(w));
    std::printf("\n");
    return TRUE;
}
}  // namespace

int wmain(int argc, wchar_t** argv)
{
    // The bytes as they are: a status text keeps its CR LF, and nothing adds one.
    _setmode(_fileno(stdout), _O_BINARY);
    if (argc >= 2 && std::wcscmp(argv[1], L"list") == 0) {
        EnumWindows(ListWindow, 0);
        return 0;
    }
    if (argc >= 2 && std::wcscmp(argv[1], L"clipboard") == 0) {
        // What an operator would paste into a ticket.
        if (!OpenClipboard(nullptr))
            return 1;
        HANDLE data = GetClipboardData(CF_UNICODETEXT);
        const auto* text = data ? static_cast<const wchar_t*>(GlobalLock(data)) : nullptr;
        if (text) {
            PrintUtf8(text);
            GlobalUnlock(data);
        }
        CloseClipboard();
        return text ? 0 : 1;
    }
    if (argc != 4)
        return 2;
    const std::wstring which = argv[1];
    HWND window = which == L"frame" ? FindWindowW(L"ZorflashFrame", nullptr) : FindDialog();
    HWND control = window ? FindControl(window, _wtoi(argv[2])) : nullptr;
    if (!control)
        return 1;
    const std::wstring what = argv[3];
    if (what == L"text") {
        PrintUtf8(TextOf(control));
    } else if (what == L"rect") {
        RECT r{};
        GetWindowRect(control, &r);
        std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
    } else if (what == L"state") {
        const LRESULT checked = SendMessageW(control, BM_GETCHECK, 0, 0);
        std::printf("%d %d %d\n", IsWindowEnabled(control) ? 1 : 0, IsWindowVisible(control) ? 1 : 0,
                    checked == BST_CHECKED ? 1 : 0);
    } else if (what == L"selection") {
        // From the answer itself: pointers do not cross into another process.
        const LRESULT range = SendMessageW(control, EM_GETSEL, 0, 0);
        std::printf("%u %u\n", static_cast<unsigned>(LOWORD(range)), static_cast<unsigned>(HIWORD(range)));
    } else if (what == L"children") {
        for (HWND child = GetWindow(control, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            wchar_t name[64] = {};
            GetClassNameW(child, name, 64);
            RECT r{};
            GetWindowRect(child, &r);
            std::printf("%ls %d %ld %ld %ld %ld\n", name, GetDlgCtrlID(child), r.left, r.top, r.right, r.bottom);
        }
    } else if (what.rfind(L"command=", 0) == 0) {
        // A menu command, as the menu would send it (the screenshots open their dialogs so).
        PostMessageW(control, WM_COMMAND, static_cast<WPARAM>(_wtoi(what.c_str() + 8)), 0);
    } else if (what == L"close") {
        PostMessageW(control, WM_CLOSE, 0, 0);
    } else {
        return 2;
    }
    return 0;
}
