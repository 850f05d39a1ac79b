// Zorflash.exe: the desktop application on Windows. Every start begins with the default
// settings; a file name on the command line is ignored, as the Linux application does.
#include "platform/StringResource.h"
#include "platform/win32/WideText.h"
#include "ui/ZorflashDoc.h"
#include "win32/FrameWindow.h"
#include "win32/WideUiText.h"

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <cstdlib>
#include <memory>
#include <string>

using namespace zorflash;

namespace {
// The command line as the system split it, freed with LocalFree.
struct LocalFreeDeleter {
    void operator()(LPWSTR* argv) const { LocalFree(argv); }
};

// COM for the shell's file dialogs, on this thread, for the program's life.
class CComApartment {
public:
    CComApartment()
        : m_started(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)))
    {
    }
    ~CComApartment()
    {
        if (m_started)
            CoUninitialize();
    }
    CComApartment(const CComApartment&) = delete;
    CComApartment& operator=(const CComApartment&) = delete;

private:
    bool m_started;
};

// --lang en|ja wins; then ZORFLASH_LANG as everywhere in Zorflash; then the language the
// operator's Windows shows its own windows in.
bool ChooseLanguage(Language& language)
{
    int argc = 0;
    std::unique_ptr<LPWSTR, LocalFreeDeleter> argv(CommandLineToArgvW(GetCommandLineW(), &argc));
    std::string explicitChoice;
    bool chosen = false;
    for (int i = 1; argv && i < argc; ++i) {
        const std::wstring arg = argv.get()[i];
        if (arg == L"--lang" && i + 1 < argc) {
            explicitChoice = Utf8FromWide(argv.get()[++i]);
            chosen = true;
        } else if (arg.rfind(L"--lang=", 0) == 0) {
            explicitChoice = Utf8FromWide(arg.substr(7));
            chosen = true;
        } else if (arg == L"--lang") {
            return false;
        }
    }
    if (chosen)
        return LanguageFromName(explicitChoice, language);
    const char* fromEnvironment = std::getenv("ZORFLASH_LANG");
    if (fromEnvironment && LanguageFromName(fromEnvironment, language))
        return true;
    language = PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE ? Language::Japanese : Language::English;
    return true;
}
}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show)
{
    Language language = Language::English;
    if (!ChooseLanguage(language)) {
        MessageBoxW(nullptr, L"--lang takes en or ja", L"Zorflash", MB_OK | MB_ICONWARNING);
        return 2;
    }
    SetWideUiLanguage(language);

    const CComApartment apartment;
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_STANDARD_CLASSES | ICC_BAR_CLASSES | ICC_PROGRESS_CLASS | ICC_INTERNET_CLASSES;
    InitCommonControlsEx(&controls);

    CZorflashDoc document;
    CFrameWindow frame(document, language);
    if (!frame.Create(show))
        return 1;
    return frame.Run();
}
