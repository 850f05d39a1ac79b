#include "resources/ui/MenuResource.h"

#include <iterator>

namespace zorflash {

namespace {
constexpr MenuEntry kMenuEnglish[] = {
    {true, 0, "&File"},
    {false, kIdFileOpen, "&Open...\tCtrl+O"},
    {false, 0, nullptr},
    {false, kIdAppExit, "E&xit"},
    {true, 0, "&Settings"},
    {false, kIdCommSettings, "&Communication Settings..."},
    {true, 0, "&View"},
    {false, kIdViewToolBar, "&Tool Bar"},
    {false, kIdViewStatusBar, "&Status Bar"},
    {true, 0, "&Help"},
    {false, kIdAppAbout, "&About..."},
};

constexpr MenuEntry kMenuJapanese[] = {
    {true, 0, "ﾌｧｲﾙ(&F)"},
    {false, kIdFileOpen, "開く(&O)...\tCtrl+O"},
    {false, 0, nullptr},
    {false, kIdAppExit, "ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)"},
    {true, 0, "設定(&S)"},
    {false, kIdCommSettings, "通信設定(&R)..."},
    {true, 0, "表示(&V)"},
    {false, kIdViewToolBar, "ﾂｰﾙ ﾊﾞｰ(&T)"},
    {false, kIdViewStatusBar, "ｽﾃｰﾀｽ ﾊﾞｰ(&S)"},
    {true, 0, "ﾍﾙﾌﾟ(&H)"},
    {false, kIdAppAbout, "ﾊﾞｰｼﾞｮﾝ情報(&A)..."},
};
}  // namespace

const MenuEntry* GetMainMenu(Language language, std::size_t& count)
{
    if (language == Language::Japanese) {
        count = std::size(kMenuJapanese);
        return kMenuJapanese;
    }
    count = std::size(kMenuEnglish);
    return kMenuEnglish;
}

}  // namespace zorflash
