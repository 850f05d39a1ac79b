// zorflash-bench-gui: one update in the desktop application, driven the way the operator
// drives it (Browse through the file chooser seam, the settings dialog set to 127.0.0.1
// and the simulator's port, Start), for the memory and responsiveness figures.
//
//   zorflash-bench-gui --port PORT --file FILE [--no-stall-meter]   (QT_QPA_PLATFORM=offscreen)
//
// Prints "gui: seconds=S longest-stall-ms=M ticks=T window-cpu-ms=C"; exit 0 only for a
// completed update. The stall meter wakes the window thread every millisecond, a load the
// application itself never has: the update's time is taken without it (--no-stall-meter),
// and the window thread's CPU time from Start to the end says what the window costs.

#include "StallMeter.h"

#include "app/MainFrame.h"
#include "app/ZorflashApp.h"
#include "ui/ZorflashDoc.h"
#include "platform/StringResource.h"
#include "app/UiStrings.h"
#include "update/UpdateProtocol.h"
#include "app/CommSettingsDialog.h"
#include "app/DialogBuilder.h"
#include "app/IPAddressCtrl.h"
#include "app/ZorflashView.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTimer>

#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace zorflash;

namespace {

constexpr int kUpdateLimitMs = 120000;

double ThreadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// The settings dialog, filled in while it is modal, then OK.
bool SetLoopbackLink(CZorflashView* view, int port)
{
    bool done = false;
    QTimer::singleShot(0, view, [&] {
        auto* dialog = qobject_cast<CCommSettingsDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        auto* tcp = qobject_cast<QAbstractButton*>(FindControl(dialog, 1008));
        auto* address = qobject_cast<CIPAddressCtrl*>(FindControl(dialog, 1012));
        auto* portBox = qobject_cast<QLineEdit*>(FindControl(dialog, 1013));
        auto* ok = qobject_cast<QAbstractButton*>(FindControl(dialog, 1));
        if (!tcp || !address || !portBox || !ok) {
            dialog->reject();
            return;
        }
        tcp->click();
        const char* octets[] = {"127", "0", "0", "1"};
        for (int i = 0; i < 4; ++i)
            address->Field(i)->setText(octets[i]);
        portBox->setText(QString::number(port));
        ok->click();
        done = true;
    });
    QTimer::singleShot(10000, view, [] {
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
    });
    view->OnSettings();
    return done;
}

}  // namespace

int main(int argc, char** argv)
{
    int port = 0;
    QString file;
    bool stallMeter = true;
    int given = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--no-stall-meter") == 0) {
            stallMeter = false;
            ++given;
        } else if (i + 1 < argc && std::strcmp(argv[i], "--port") == 0) {
            port = std::atoi(argv[++i]);
            given += 2;
        } else if (i + 1 < argc && std::strcmp(argv[i], "--file") == 0) {
            file = QString::fromLocal8Bit(argv[++i]);
            given += 2;
        }
    }
    if (port < 1 || port > 65535 || file.isEmpty() || given != argc - 1) {
        std::fprintf(stderr, "usage: zorflash-bench-gui --port PORT --file FILE [--no-stall-meter]\n");
        return 2;
    }
    SetUiLanguage(Language::English);
    QApplication application(argc, argv);
    CZorflashApp app;
    if (!app.InitInstance())
        return 1;
    CZorflashView* view = app.GetMainFrame()->GetView();
    view->SetFileChooser([file](QWidget*, const QString&) { return file; });
    view->SetMessageBoxFunction([](QWidget*, QMessageBox::Icon, const QString&, const QString& text,
                                   QMessageBox::StandardButtons) {
        std::fprintf(stderr, "zorflash-bench-gui: message box: %s\n", qPrintable(text));
        return QMessageBox::Cancel;
    });

    view->OnBrowse();
    const UpdateSettings& settings = app.GetDocument()->GetSettings();
    // Nothing may go anywhere but this machine.
    if (!SetLoopbackLink(view, port) || settings.ipAddress != 0x7F000001u || settings.port != port ||
        settings.useUsb != 0 || settings.filePath != file.toStdString()) {
        std::fprintf(stderr, "zorflash-bench-gui: could not set the link to 127.0.0.1:%d\n", port);
        return 2;
    }

    CStallMeter meter;
    QElapsedTimer clock;
    double cpuAtStart = 0;
    double windowCpuMs = 0;
    bool ended = false;
    QObject::connect(view, &CZorflashView::UpdatingChanged, [&](bool updating) {
        if (updating)
            return;
        windowCpuMs = ThreadCpuMs() - cpuAtStart;
        if (stallMeter)
            meter.Stop();
        ended = true;
        QApplication::quit();
    });
    QTimer::singleShot(kUpdateLimitMs, [] { QApplication::exit(3); });
    QTimer::singleShot(0, [&] {
        if (stallMeter)
            meter.Start();
        cpuAtStart = ThreadCpuMs();
        clock.start();
        view->OnStart();
    });
    const int loop = application.exec();
    if (!ended || loop != 0) {
        std::fprintf(stderr, "zorflash-bench-gui: the update did not end within %d s\n", kUpdateLimitMs / 1000);
        std::_Exit(3);  // the worker may still be blocked; do not wait for it
    }
    const std::string status = view->GetStatusText();
    std::printf("gui: seconds=%.3f longest-stall-ms=%.2f ticks=%lld window-cpu-ms=%.1f\n", clock.nsecsElapsed() / 1e9,
                meter.LongestGapMs(), meter.Ticks(), windowCpuMs);
    if (!view->LastResult().Completed()) {
        std::fprintf(stderr, "zorflash-bench-gui: the update did not complete:\n%s\n", status.c_str());
        return 1;
    }
    return 0;
}
