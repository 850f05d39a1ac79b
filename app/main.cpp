#include "app/AboutDialog.h"
#include "app/MainFrame.h"
#include "app/ZorflashApp.h"
#include "ui/ZorflashDoc.h"
#include "platform/StandardStreams.h"
#include "platform/StringResource.h"
#include "app/UiStrings.h"
#include "app/CommSettingsDialog.h"
#include "app/ProgressDisplay.h"
#include "app/ZorflashView.h"

#include "ZorflashVersion.h"

#include <QApplication>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QToolTip>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace zorflash;

namespace {
struct Options {
    bool help = false;
    bool version = false;
    const char* language = nullptr;
    // Pictures of the windows for the documentation, taken without a screen grabber.
    QString mainShot;
    QString settingsShot;
    QString aboutShot;
    // The window during an update of updateFile, sent to the simulator on 127.0.0.1 at
    // updatePort (never anywhere else), taken once the bar has passed a third.
    QString updateShot;
    QString updateFile;
    int updatePort = 0;
    // The window just after updateFile was chosen: what the status bar says about it.
    QString chosenShot;
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
        } else if (const char* v = value("--screenshot-about")) {
            options.aboutShot = QString::fromLocal8Bit(v);
        } else if (const char* v = value("--screenshot-update")) {
            options.updateShot = QString::fromLocal8Bit(v);
        } else if (const char* v = value("--update-file")) {
            options.updateFile = QString::fromLocal8Bit(v);
        } else if (const char* v = value("--screenshot-chosen")) {
            options.chosenShot = QString::fromLocal8Bit(v);
        } else if (const char* v = value("--update-port")) {
            options.updatePort = std::atoi(v);
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
    if (!options.chosenShot.isEmpty()) {
        frame->GetView()->OnFileChosen(options.updateFile);
        QApplication::processEvents();
        frame->grab().save(options.chosenShot);
    }
    if (!options.aboutShot.isEmpty()) {
        CAboutDialog dialog(frame);
        dialog.show();
        QApplication::processEvents();
        dialog.grab().save(options.aboutShot);
    }
}

void TakeUpdateScreenshot(CZorflashApp& app, const Options& options)
{
    CMainFrame* frame = app.GetMainFrame();
    CZorflashView* view = frame->GetView();
    view->OnFileChosen(options.updateFile);
    UpdateSettings& settings = app.GetDocument()->GetSettings();
    settings.ipAddress = 0x7F000001;  // 127.0.0.1
    settings.port = options.updatePort;
    view->Presenter().ShowLinkSummary();
    view->OnStart();
    auto* poll = new QTimer(frame);
    QObject::connect(poll, &QTimer::timeout, frame, [frame, view, options, poll, taken = false]() mutable {
        if (!taken && (frame->GetProgressDisplay()->Percent() >= 35 || !view->IsUpdating())) {
            taken = true;
            const QString tip = frame->GetProgressDisplay()->ToolTip();
            if (view->IsUpdating() || tip.isEmpty()) {
                frame->grab().save(options.updateShot);
            } else {
                // A failure's whole story is longer than the status bar: the picture shows
                // it as the operator reads it, in the tool tip over the bar.
                const int lines = static_cast<int>(tip.count(QLatin1Char('\n'))) + 7;  // and the wrapped step
                QWidget* bar = frame->GetProgressDisplay();
                poll->stop();
                QToolTip::showText(bar->mapToGlobal(QPoint(0, -lines * bar->fontMetrics().height() - 24)),
                                   "<qt>" + tip.toHtmlEscaped().replace('\n', "<br>") + "</qt>", bar,
                                   QRect(), 60000);
                QTimer::singleShot(600, frame, [frame, options] {
                    frame->screen()->grabWindow(0, frame->x(), frame->y(), frame->frameGeometry().width(),
                                                frame->frameGeometry().height())
                        .save(options.updateShot);
                    QApplication::quit();
                });
                return;
            }
        }
        // The window is left only once the update has ended, as the operator must.
        if (taken && !view->IsUpdating())
            QApplication::quit();
    });
    poll->start(20);
}
}  // namespace

int main(int argc, char** argv)
{
    ReserveStandardStreams();
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
    SetUiLanguage(LanguageFromEnvironment(options.language));

    QApplication application(argc, argv);
    CZorflashApp app;
    if (!app.InitInstance())
        return 1;
    if (!options.updateShot.isEmpty()) {
        if (options.updateFile.isEmpty() || options.updatePort <= 0) {
            std::fprintf(stderr, "zorflash: --screenshot-update needs --update-file and --update-port\n");
            return 2;
        }
        QTimer::singleShot(200, [&] { TakeUpdateScreenshot(app, options); });
    } else if (!options.mainShot.isEmpty() || !options.settingsShot.isEmpty() || !options.aboutShot.isEmpty() ||
               !options.chosenShot.isEmpty()) {
        QTimer::singleShot(200, [&] {
            TakeScreenshots(app, options);
            QApplication::quit();
        });
    }
    return application.exec();
}
