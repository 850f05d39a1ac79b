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
constexpr AcceleratorEntry kAccelerators[] = {
    {'N', true, false, false, kIdFileNew},
    {'O', true, false, false, kIdFileOpen},
    {'S', true, false, false, kIdFileSave},
    {'Z', true, false, false, kIdEditUndo},
    {0x08, false, false, true, kIdEditUndo},
    {'X', true, false, false, kIdEditCut},
    {0x2E, false, true, false, kIdEditCut},
    {'C', true, false, false, kIdEditCopy},
    {0x2D, true, false, false, kIdEditCopy},
    {'V', true, false, false, kIdEditPaste},
    {0x2D, false, true, false, kIdEditPaste},
    {0x75, false, false, false, kIdNextPane},
    {0x75, false, true, false, kIdPrevPane},
};

constexpr int kToolBar[] = {kIdFileOpen, kIdCommSettings, 0, kIdAppExit};
}  // namespace

const AcceleratorEntry* GetAccelerators(std::size_t& count)
{
    count = std::size(kAccelerators);
    return kAccelerators;
}

const int* GetToolBarCommands(std::size_t& count)
{
    count = std::size(kToolBar);
    return kToolBar;
}

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
