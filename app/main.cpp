#include "app/MainFrame.h"
#include "app/ZorflashApp.h"
#include "platform/StringResource.h"
#include "ui/CommSettingsDialog.h"
#include "ui/ZorflashView.h"

#include "ZorflashVersion.h"

#include <QApplication>
#include <QPixmap>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <string>

namespace {
struct Options {
    bool help = false;
    bool version = false;
    const char* language = nullptr;
    // Pictures of the windows for the documentation, taken without a screen grabber.
    QString mainShot;
    QString settingsShot;
};

bool ParseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        auto value = [&](const char* name) -> const char* {
            const size_t n = std::strlen(name);
            if (std::strncmp(arg, name, n) == 0 && arg[n] == '=')
                return arg + n + 1;
            if (std::strcmp(arg, name) == 0 && i + 1 < argc)
                return argv[++i];
            return nullptr;
        };
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            options.help = true;
        } else if (std::strcmp(arg, "--version") == 0) {
            options.version = true;
        } else if (const char* v = value("--lang")) {
            options.language = v;
        } else if (std::strcmp(arg, "--lang") == 0) {
            return false;
        } else if (const char* v = value("--screenshot-main")) {
            options.mainShot = QString::fromLocal8Bit(v);
        } else if (const char* v = value("--screenshot-settings")) {
            options.settingsShot = QString::fromLocal8Bit(v);
        }
        // Anything else, a file name above all, is ignored: every start has the defaults.
    }
    Language language;
    return !options.language || LanguageFromName(options.language, language);
}

// Answered before any window exists, so both work on a machine without a display (and
// help2man reads them at build time).
void PrintHelp()
{
    std::printf(
        "Usage: zorflash [OPTION]...\n"
        "Rewrite the firmware of a Morvenal data-logging instrument over TCP/IP or USB: choose the\n"
        "model and the update file, set the link with Settings, and press Start. Every start\n"
        "begins with the default settings; a file name on the command line is ignored.\n"
        "\n"
        "Options:\n"
        "  --lang en|ja                 language of the window and the status text\n"
        "                               (default: ZORFLASH_LANG, then the locale)\n"
        "  --screenshot-main FILE       save a picture of the main window to FILE and quit\n"
        "  --screenshot-settings FILE   save a picture of the settings dialog to FILE and quit\n"
        "  -h, --help                   print this help and exit\n"
        "  --version                    print the version and exit\n");
}

void TakeScreenshots(CZorflashApp& app, const Options& options)
{
    CMainFrame* frame = app.GetMainFrame();
    if (!options.mainShot.isEmpty())
        frame->grab().save(options.mainShot);
    if (!options.settingsShot.isEmpty()) {
        CCommSettingsDialog dialog(frame->GetView());
        dialog.show();
        QApplication::processEvents();
        dialog.grab().save(options.settingsShot);
    }
}
}  // namespace

int main(int argc, char** argv)
{
    Options options;
    const bool parsed = ParseOptions(argc, argv, options);
    if (options.help) {
        PrintHelp();
        return 0;
    }
    if (options.version) {
        std::printf("zorflash %s\n", kZorflashVersion);
        return 0;
    }
    if (!parsed) {
        std::fprintf(stderr, "zorflash: --lang takes en or ja\n");
        return 2;
    }
    // The language is fixed before any window or update thread exists.
    SetResourceLanguage(LanguageFromEnvironment(options.language));

    QApplication application(argc, argv);
    CZorflashApp app;
    if (!app.InitInstance())
        return 1;
    if (!options.mainShot.isEmpty() || !options.settingsShot.isEmpty()) {
        QTimer::singleShot(200, [&] {
            TakeScreenshots(app, options);
            QApplication::quit();
        });
    }
    return application.exec();
}
