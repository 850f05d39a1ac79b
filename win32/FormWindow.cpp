#include "win32/FormWindow.h"

#include "platform/win32/WideText.h"
#include "resources/ui/DialogTemplate.h"
#include "win32/DialogTemplateBuilder.h"
#include "win32/SettingsDialogWindow.h"
#include "win32/StatusBarWindow.h"

#include <commdlg.h>

#include <vector>

namespace zorflash {

namespace {
// The Win32 edit control breaks lines only at CR LF.
std::wstring WithCrLf(const std::string& text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return WideFromUtf8(out);
}

// The UTF-16 position of a byte offset into a UTF-8 text.
int WideOffset(const std::string& text, int byteOffset)
{
    const size_t end = std::min(text.size(), static_cast<size_t>(std::max(0, byteOffset)));
    int units = 0;
    for (size_t i = 0; i < end; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if ((c & 0xC0) == 0x80)
            continue;  // a continuation byte adds no unit
        units += c >= 0xF0 ? 2 : 1;
    }
    return units;
}
}  // namespace

CFormWindow::CFormWindow(UpdateSettings& record, Language language, CStatusBarWindow& statusBar)
    : m_statusBar(statusBar)
    , m_presenter(*this, record, language)
{
}

CFormWindow::~CFormWindow()
{
    Shutdown();
}

bool CFormWindow::Create(HWND frame)
{
    const DialogTemplate* layout = FindDialogTemplate(kIddZorflashForm, m_presenter.GetLanguage());
    if (!layout)
        return false;
    const CDialogTemplateBuilder builder(*layout, CDialogTemplateBuilder::Frame::Child);
    m_hwnd = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), builder.Get(), frame, DialogProc,
                                        reinterpret_cast<LPARAM>(this));
    if (!m_hwnd)
        return false;
    m_labelFonts.Fit(m_hwnd, *layout);
    EnableWindow(Control(kIdcStart), FALSE);
    // The log may grow past the control's default limit, which binds EM_REPLACESEL too.
    SendMessageW(Control(kIdcStatus), EM_SETLIMITTEXT, 0, 0);
    for (int id : {kIdcStatus, kIdcHeaderPreview, kIdcFileName})
        m_editMenu.Attach(Control(id));
    COMBOBOXINFO combo{};
    combo.cbSize = sizeof(combo);
    if (GetComboBoxInfo(Control(kIdcModelList), &combo))
        m_editMenu.Attach(combo.hwndItem);
    return true;
}

void CFormWindow::Shutdown()
{
    if (!m_hwnd)
        return;
    m_presenter.Shutdown([] {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    });
}

INT_PTR CALLBACK CFormWindow::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        reinterpret_cast<CFormWindow*>(lParam)->m_hwnd = dialog;
        return FALSE;  // the frame gives the focus once it is shown
    }
    auto* self = reinterpret_cast<CFormWindow*>(GetWindowLongPtrW(dialog, DWLP_USER));
    return self ? self->OnMessage(message, wParam, lParam) : FALSE;
}

INT_PTR CFormWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_TIMER:
        m_presenter.OnTimer(static_cast<FormTimer>(wParam));
        return TRUE;
    case kStatusLogPosted:
        m_presenter.OnStatusLogPosted();
        return TRUE;
    case WM_UPDATE_FINISHED:
        m_presenter.OnUpdateFinished();
        return TRUE;
    case kRunTask:
        (*reinterpret_cast<const std::function<void()>*>(lParam))();
        return TRUE;
    case WM_NCDESTROY:
        m_hwnd = nullptr;
        return FALSE;
    default:
        return FALSE;
    }
}

void CFormWindow::OnCommand(int id, int code)
{
    switch (id) {
    case kIdcModelList:
        if (code == CBN_SELCHANGE) {
            const int index = static_cast<int>(SendMessageW(Control(kIdcModelList), CB_GETCURSEL, 0, 0));
            if (index >= 0)
                m_presenter.SelectModel(index);
        }
        break;
    case kIdcBrowse:
        if (code == BN_CLICKED)
            m_presenter.OnBrowse();
        break;
    case kIdcSettings:
        if (code == BN_CLICKED)
            m_presenter.OnSettings();
        break;
    case kIdcStart:
        if (code == BN_CLICKED)
            m_presenter.OnStart();
        break;
    default:
        break;  // Enter and Esc in the form close nothing
    }
}

void CFormWindow::ShowModelList(const std::vector<std::string>& names)
{
    HWND list = Control(kIdcModelList);
    SendMessageW(list, CB_RESETCONTENT, 0, 0);
    for (const std::string& name : names) {
        const std::wstring text = WideFromUtf8(name);
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
}

void CFormWindow::ShowModelSelection(int index)
{
    SendMessageW(Control(kIdcModelList), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void CFormWindow::ShowFileName(const std::string& name)
{
    HWND box = Control(kIdcFileName);
    SetWindowTextW(box, WideFromUtf8(name).c_str());
    SendMessageW(box, EM_SETSEL, 0, 0);
    SendMessageW(box, EM_SCROLLCARET, 0, 0);
}

void CFormWindow::ShowHeaderPreview(const std::string& text)
{
    SetWindowTextW(Control(kIdcHeaderPreview), WithCrLf(text).c_str());
}

void CFormWindow::ShowLinkSummary(const std::string& text)
{
    SetWindowTextW(Control(kIdcLinkSummary), WideFromUtf8(text).c_str());
}

void CFormWindow::ShowStatusText(const StatusBoxText& status)
{
    // The text is CR LF already; only the part from the first difference is replaced, so
    // a progress line rewritten in place costs one line, not the whole log.
    HWND box = Control(kIdcStatus);
    const std::wstring text = WideFromUtf8(status.text);
    size_t same = 0;
    while (same < text.size() && same < m_shownStatus.size() && text[same] == m_shownStatus[same])
        ++same;
    if (same != text.size() || same != m_shownStatus.size()) {
        SendMessageW(box, WM_SETREDRAW, FALSE, 0);
        SendMessageW(box, EM_SETSEL, same, -1);
        SendMessageW(box, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str() + same));
        SendMessageW(box, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(box, nullptr, TRUE);
        m_shownStatus = text;
    }
    const int caret = WideOffset(status.text, status.caret);
    SendMessageW(box, EM_SETSEL, static_cast<WPARAM>(caret), caret);
    SendMessageW(box, EM_SCROLLCARET, 0, 0);
}

void CFormWindow::EnableStart(bool enabled)
{
    EnableWindow(Control(kIdcStart), enabled);
}

void CFormWindow::LockForUpdate(bool updating)
{
    for (int id : {kIdcModelList, kIdcBrowse, kIdcSettings})
        EnableWindow(Control(id), !updating);
}

void CFormWindow::ShowProgress(const ProgressState& state)
{
    m_statusBar.Show(WideFromUtf8(state.figuresText), state.sectionShown ? WideFromUtf8(state.sectionText) : L"",
                     state.barShown ? state.barPercent : -1, WideFromUtf8(state.toolTip));
}

std::string CFormWindow::ChooseUpdateFile(const std::string& filter)
{
    // "name|pattern|...||" is the dialog's own list with NULs for the bars.
    std::wstring list = WideFromUtf8(filter);
    for (wchar_t& c : list) {
        if (c == L'|')
            c = L'\0';
    }
    list.push_back(L'\0');
    std::vector<wchar_t> path(32768, L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = GetAncestor(m_hwnd, GA_ROOT);
    dialog.lpstrFilter = list.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = path.data();
    dialog.nMaxFile = static_cast<DWORD>(path.size());
    dialog.Flags = OFN_EXPLORER;
    if (!GetOpenFileNameW(&dialog))
        return std::string();
    return Utf8FromWide(path.data());
}

void CFormWindow::RunSettingsDialog()
{
    CSettingsDialogWindow dialog(m_presenter);
    dialog.Run(GetAncestor(m_hwnd, GA_ROOT));
}

bool CFormWindow::ShowMessage(MessageIcon icon, const std::string& caption, const std::string& text,
                              MessageButtons buttons)
{
    UINT style = icon == MessageIcon::Warning ? MB_ICONWARNING : MB_ICONINFORMATION;
    style |= buttons == MessageButtons::OkCancel ? MB_OKCANCEL : MB_OK;
    // An empty caption is no caption at all, not the system's "Error".
    const std::wstring title = WideFromUtf8(caption);
    return MessageBoxW(GetAncestor(m_hwnd, GA_ROOT), WideFromUtf8(text).c_str(), title.c_str(), style) == IDOK;
}

void CFormWindow::StartTimer(FormTimer timer, int milliseconds)
{
    SetTimer(m_hwnd, static_cast<UINT_PTR>(timer), static_cast<UINT>(milliseconds), nullptr);
}

void CFormWindow::StopTimer(FormTimer timer)
{
    KillTimer(m_hwnd, static_cast<UINT_PTR>(timer));
}

void CFormWindow::PostStatusLogChanged()
{
    PostMessageW(m_hwnd, kStatusLogPosted, 0, 0);
}

void CFormWindow::PostUpdateFinished()
{
    PostMessageW(m_hwnd, WM_UPDATE_FINISHED, 0, 0);
}

void CFormWindow::RunOnWindowThread(const std::function<void()>& task)
{
    SendMessageW(m_hwnd, kRunTask, 0, reinterpret_cast<LPARAM>(&task));
}

}  // namespace zorflash
