#include "resources/ui/DialogTemplate.h"

#include <iterator>

namespace zorflash {

namespace {
using K = DialogItemKind;

// Rows in template order, which is also the tab order.
constexpr DialogItem kFormEnglish[] = {
    {kIdcModelList, K::DropDownCombo, nullptr, 75, 10, 160, 130},
    {0, K::Label, "Machine Name", 10, 10, 50, 12},
    {0, K::Label, "Update Filename", 10, 35, 55, 15},
    {kIdcFileName, K::ReadOnlyEdit, nullptr, 75, 35, 120, 15},
    {kIdcBrowse, K::PushButton, "Browse...", 200, 35, 35, 15},
    {0, K::GroupBox, "Communication Settings", 10, 65, 230, 30},
    {kIdcLinkSummary, K::LeftText, nullptr, 15, 80, 175, 10},
    {kIdcSettings, K::PushButton, "Settings", 200, 75, 35, 15},
    {0, K::GroupBox, "Header Contents", 10, 100, 230, 55},
    {kIdcHeaderPreview, K::HeaderEdit, nullptr, 15, 110, 220, 40},
    {0, K::GroupBox, "Firmware Update Status", 10, 160, 230, 55},
    {kIdcStatus, K::StatusEdit, nullptr, 15, 170, 220, 40},
    {kIdcStart, K::PushButton, "Start", 175, 220, 65, 30},
};

constexpr DialogItem kFormJapanese[] = {
    {kIdcModelList, K::DropDownCombo, nullptr, 65, 10, 170, 130},
    {0, K::Label, "機種名", 10, 10, 40, 12},
    {0, K::Label, "更新ファイル名", 10, 35, 50, 15},
    {kIdcFileName, K::ReadOnlyEdit, nullptr, 65, 35, 130, 15},
    {kIdcBrowse, K::PushButton, "参照...", 200, 35, 35, 15},
    {0, K::GroupBox, "通信設定", 10, 65, 230, 30},
    {kIdcLinkSummary, K::LeftText, nullptr, 15, 80, 175, 10},
    {kIdcSettings, K::PushButton, "設定...", 200, 75, 35, 15},
    {0, K::GroupBox, "ヘッダの内容", 10, 100, 230, 55},
    {kIdcHeaderPreview, K::HeaderEdit, nullptr, 15, 110, 220, 40},
    {0, K::GroupBox, "ファームウェア更新状態", 10, 160, 230, 55},
    {kIdcStatus, K::StatusEdit, nullptr, 15, 170, 220, 40},
    {kIdcStart, K::PushButton, "開　　始", 175, 220, 65, 30},
};

constexpr DialogItem kCommEnglish[] = {
    {0, K::GroupBox, "Transfer I/F", 5, 5, 55, 50},
    {kIdcTcpIp, K::RadioButton, "TCP/IP", 15, 20, 38, 10},
    {kIdcUsb, K::RadioButton, "USB", 15, 35, 29, 10},
    {0, K::Label, "IP Address", 65, 15, 35, 15},
    {kIdcIpAddress, K::IpAddress, nullptr, 110, 15, 100, 15},
    {0, K::Label, "Port number", 65, 35, 40, 15},
    {kIdcPort, K::DigitsEdit, nullptr, 110, 35, 65, 15},
    {kIdcFastTransfer, K::CheckBox, "Enable Fast Transfer", 10, 65, 95, 10},
    {kIdOk, K::DefaultButton, "OK", 220, 10, 50, 25},
    {kIdCancel, K::PushButton, "Cancel", 220, 40, 50, 14},
};

constexpr DialogItem kCommJapanese[] = {
    {0, K::GroupBox, "転送 I/F", 5, 5, 55, 50},
    {kIdcTcpIp, K::RadioButton, "TCP/IP", 15, 20, 38, 10},
    {kIdcUsb, K::RadioButton, "USB", 15, 35, 29, 10},
    {0, K::Label, "IPアドレス", 70, 15, 30, 15},
    {kIdcIpAddress, K::IpAddress, nullptr, 110, 15, 100, 15},
    {0, K::Label, "ポート番号", 70, 35, 32, 15},
    {kIdcPort, K::DigitsEdit, nullptr, 110, 35, 65, 15},
    {kIdcFastTransfer, K::CheckBox, "USB高速転送を有効にする", 10, 65, 95, 10},
    {kIdOk, K::DefaultButton, "OK", 220, 10, 50, 25},
    {kIdCancel, K::PushButton, "ｷｬﾝｾﾙ", 220, 40, 50, 14},
};

// The maker's notice is longer than the classic box had room for; the box is 25 units
// wider and the texts a line high, so neither language is cut off.
constexpr DialogItem kAboutEnglish[] = {
    {0, K::PlainText, "Zorflash Ver. 1.00", 40, 10, 160, 10},
    {0, K::PlainText, "Firmware updater for Morvenal instruments", 40, 25, 160, 10},
    {kIdOk, K::DefaultButton, "OK", 203, 7, 50, 14},
};

constexpr DialogItem kAboutJapanese[] = {
    {0, K::PlainText, "Zorflash Ver.1.00", 40, 10, 160, 10},
    {0, K::PlainText, "Morvenal 計測器ファームウェア更新ツール", 40, 25, 160, 10},
    {kIdOk, K::DefaultButton, "OK", 203, 7, 50, 14},
};

// The operator's fonts come first; the second family is what a machine without them
// shows, chosen for the script of the language.
constexpr const char* kEnglishFont = "MS Sans Serif,DejaVu Sans";
constexpr const char* kJapaneseFont = "ＭＳ Ｐゴシック,Noto Sans CJK JP";

constexpr DialogTemplate kTemplates[] = {
    {kIddAboutBox, "About", kEnglishFont, 9, 260, 55, kAboutEnglish, std::size(kAboutEnglish)},
    {kIddZorflashForm, nullptr, kEnglishFont, 10, 252, 256, kFormEnglish, std::size(kFormEnglish)},
    {kIddCommSettings, "Communication Settings", kEnglishFont, 10, 279, 79, kCommEnglish,
     std::size(kCommEnglish)},
};

constexpr DialogTemplate kTemplatesJapanese[] = {
    {kIddAboutBox, "Zorflashのﾊﾞｰｼﾞｮﾝ情報", kJapaneseFont, 9, 260, 55, kAboutJapanese,
     std::size(kAboutJapanese)},
    {kIddZorflashForm, nullptr, kJapaneseFont, 9, 252, 256, kFormJapanese, std::size(kFormJapanese)},
    {kIddCommSettings, "転送設定", kJapaneseFont, 9, 279, 79, kCommJapanese, std::size(kCommJapanese)},
};
}  // namespace

const DialogTemplate* FindDialogTemplate(int id, Language language)
{
    const auto& table = language == Language::Japanese ? kTemplatesJapanese : kTemplates;
    for (const DialogTemplate& t : table) {
        if (t.id == id)
            return &t;
    }
    return nullptr;
}

}  // namespace zorflash
