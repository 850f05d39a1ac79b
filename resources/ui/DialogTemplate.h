#pragma once

#include "resources/strings/Language.h"

#include <cstddef>

namespace zorflash {

// The window layouts of the desktop application as data: one table per dialog and
// language, positions in dialog units. The Qt side turns dialog units into pixels with
// the metrics of the template's own font, so the proportions hold in both languages.

enum class DialogItemKind {
    Label,           // static text, centred vertically
    LeftText,        // static text, top-left (the link summary)
    PlainText,       // static text, ampersands shown as they stand
    GroupBox,
    PushButton,
    DefaultButton,
    DropDownCombo,   // drop-down list with an edit field, not sorted
    ReadOnlyEdit,    // one line
    HeaderEdit,      // multi-line, read-only, no wrapping, no scroll bars
    StatusEdit,      // multi-line, read-only, no wrapping, vertical scroll bar
    DigitsEdit,      // one line, digits only
    RadioButton,
    CheckBox,
    IpAddress,
};

struct DialogItem {
    int id;  // 0: the item is never looked up
    DialogItemKind kind;
    const char* text;
    int x, y, cx, cy;
};

struct DialogTemplate {
    int id;
    const char* caption;  // null for the child form
    const char* fontFamily;
    int pointSize;
    int cx, cy;
    const DialogItem* items;
    std::size_t itemCount;
};

// The controls, by the numbers the templates give them; the windows find them by these.
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdcModelList = 1000;
constexpr int kIdcFileName = 1001;
constexpr int kIdcBrowse = 1002;
constexpr int kIdcSettings = 1003;
constexpr int kIdcHeaderPreview = 1004;
constexpr int kIdcStatus = 1005;
constexpr int kIdcStart = 1006;
constexpr int kIdcLinkSummary = 1007;
constexpr int kIdcTcpIp = 1008;
constexpr int kIdcUsb = 1009;
constexpr int kIdcFastTransfer = 1010;
constexpr int kIdcIpAddress = 1012;
constexpr int kIdcPort = 1013;

constexpr int kIddAboutBox = 100;
constexpr int kIddZorflashForm = 101;
constexpr int kIddCommSettings = 130;

// The template in the given language; null for an unknown id.
const DialogTemplate* FindDialogTemplate(int id, Language language);

}  // namespace zorflash
