#include "win32/DialogTemplateBuilder.h"

#include "platform/win32/WideText.h"

#include <commctrl.h>

#include <sstream>

namespace zorflash {

namespace {
// The predefined control classes, named by their ordinals as a template may do.
constexpr uint16_t kButtonClass = 0x0080;
constexpr uint16_t kEditClass = 0x0081;
constexpr uint16_t kStaticClass = 0x0082;
constexpr uint16_t kComboBoxClass = 0x0085;

struct ItemClass {
    uint16_t ordinal;  // 0: the class is named (the IP address control)
    DWORD style;
};

ItemClass ClassOf(DialogItemKind kind)
{
    using K = DialogItemKind;
    switch (kind) {
    case K::Label: return {kStaticClass, SS_LEFT | SS_CENTERIMAGE};
    case K::LeftText: return {kStaticClass, SS_LEFT | SS_NOPREFIX};
    case K::PlainText: return {kStaticClass, SS_LEFT | SS_NOPREFIX};
    case K::GroupBox: return {kButtonClass, BS_GROUPBOX};
    case K::PushButton: return {kButtonClass, BS_PUSHBUTTON | WS_TABSTOP};
    case K::DefaultButton: return {kButtonClass, BS_DEFPUSHBUTTON | WS_TABSTOP};
    case K::DropDownCombo: return {kComboBoxClass, CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP};
    case K::ReadOnlyEdit: return {kEditClass, ES_READONLY | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP};
    case K::HeaderEdit:
        return {kEditClass, ES_MULTILINE | ES_READONLY | ES_AUTOHSCROLL | ES_AUTOVSCROLL | WS_BORDER | WS_TABSTOP};
    case K::StatusEdit:
        return {kEditClass,
                ES_MULTILINE | ES_READONLY | ES_AUTOHSCROLL | ES_AUTOVSCROLL | WS_BORDER | WS_VSCROLL | WS_TABSTOP};
    case K::DigitsEdit: return {kEditClass, ES_NUMBER | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP};
    case K::RadioButton: return {kButtonClass, BS_AUTORADIOBUTTON};
    case K::CheckBox: return {kButtonClass, BS_AUTOCHECKBOX | WS_TABSTOP};
    case K::IpAddress: return {0, WS_TABSTOP};
    }
    return {kStaticClass, 0};
}

int CALLBACK NoteFamily(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found)
{
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool FontInstalled(const std::wstring& face)
{
    if (face.empty() || face.size() >= LF_FACESIZE)
        return false;
    LOGFONTW query{};
    query.lfCharSet = DEFAULT_CHARSET;
    face.copy(query.lfFaceName, face.size());
    bool found = false;
    HDC screen = GetDC(nullptr);
    EnumFontFamiliesExW(screen, &query, NoteFamily, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, screen);
    return found;
}
}  // namespace

std::wstring CDialogTemplateBuilder::ChooseFontFace(const char* families)
{
    std::istringstream list(families ? families : "");
    std::string family;
    while (std::getline(list, family, ',')) {
        const std::wstring face = WideFromUtf8(family);
        if (FontInstalled(face))
            return face;
    }
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0))
        return metrics.lfMessageFont.lfFaceName;
    return L"MS Shell Dlg";
}

CDialogTemplateBuilder::CDialogTemplateBuilder(const DialogTemplate& layout, Frame frame)
    : m_fontFace(ChooseFontFace(layout.fontFamily))
{
    DWORD style = DS_SETFONT;
    if (frame == Frame::Child)
        style |= WS_CHILD | DS_CONTROL;
    else
        style |= WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER;
    Put16(1);       // dlgVer
    Put16(0xFFFF);  // signature: the extended form
    Put32(0);       // helpID
    Put32(0);       // exStyle
    Put32(style);
    Put16(static_cast<uint16_t>(layout.itemCount));
    Put16(0);
    Put16(0);
    Put16(static_cast<uint16_t>(layout.cx));
    Put16(static_cast<uint16_t>(layout.cy));
    Put16(0);  // no menu
    Put16(0);  // the dialog class
    PutText(layout.caption ? WideFromUtf8(layout.caption) : std::wstring());
    Put16(static_cast<uint16_t>(layout.pointSize));
    Put16(FW_NORMAL);
    m_bytes.push_back(0);  // not italic
    m_bytes.push_back(DEFAULT_CHARSET);
    PutText(m_fontFace);

    bool previousRadio = false;
    for (size_t i = 0; i < layout.itemCount; ++i) {
        const DialogItem& item = layout.items[i];
        const bool radio = item.kind == DialogItemKind::RadioButton;
        // Radio buttons check one another within their group, and arrow keys move inside
        // it: the first of a run opens a group and takes the tab stop, the next item
        // closes it.
        PutItem(item, i == 0 || radio != previousRadio);
        previousRadio = radio;
    }
}

void CDialogTemplateBuilder::PutItem(const DialogItem& item, bool startsGroup)
{
    const ItemClass itemClass = ClassOf(item.kind);
    DWORD style = WS_CHILD | WS_VISIBLE | itemClass.style;
    if (startsGroup) {
        style |= WS_GROUP;
        if (item.kind == DialogItemKind::RadioButton)
            style |= WS_TABSTOP;
    }
    AlignTo4();
    Put32(0);  // helpID
    Put32(item.kind == DialogItemKind::ReadOnlyEdit || item.kind == DialogItemKind::HeaderEdit ||
                  item.kind == DialogItemKind::StatusEdit || item.kind == DialogItemKind::DigitsEdit
              ? WS_EX_CLIENTEDGE
              : 0);
    Put32(style);
    Put16(static_cast<uint16_t>(item.x));
    Put16(static_cast<uint16_t>(item.y));
    Put16(static_cast<uint16_t>(item.cx));
    Put16(static_cast<uint16_t>(item.cy));
    Put32(item.id == 0 ? static_cast<uint32_t>(-1) : static_cast<uint32_t>(item.id));
    if (itemClass.ordinal != 0) {
        Put16(0xFFFF);
        Put16(itemClass.ordinal);
    } else {
        PutText(WC_IPADDRESSW);
    }
    PutText(item.text ? WideFromUtf8(item.text) : std::wstring());
    Put16(0);  // no creation data
}

void CDialogTemplateBuilder::Put16(uint16_t value)
{
    m_bytes.push_back(static_cast<uint8_t>(value & 0xFF));
    m_bytes.push_back(static_cast<uint8_t>(value >> 8));
}

void CDialogTemplateBuilder::Put32(uint32_t value)
{
    Put16(static_cast<uint16_t>(value & 0xFFFF));
    Put16(static_cast<uint16_t>(value >> 16));
}

void CDialogTemplateBuilder::PutText(const std::wstring& text)
{
    for (wchar_t c : text)
        Put16(static_cast<uint16_t>(c));
    Put16(0);
}

void CDialogTemplateBuilder::AlignTo4()
{
    while (m_bytes.size() % 4 != 0)
        m_bytes.push_back(0);
}

}  // namespace zorflash
