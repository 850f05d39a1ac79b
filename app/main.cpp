#include "app/MainFrame.h"
#include "app/ZorflashApp.h"
#include "platform/StringResource.h"
#include "ui/UiStrings.h"
#include "ui/CommSettingsDialog.h"
#include "ui/ZorflashView.h"

#include <QApplication>
#include <QPixmap>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <string>

namespace {
struct Options {
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
        if (const char* v = value("--lang")) {
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
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "zorflash: --lang takes en or ja\n");
        return 2;
    }
    // The language is fixed before any window or update thread exists.
    SetUiLanguage(LanguageFromEnvironment(options.language));

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
