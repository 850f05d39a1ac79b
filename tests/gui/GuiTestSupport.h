#pragma once

#include "app/MainFrame.h"
#include "app/ZorflashApp.h"
#include "ui/ZorflashDoc.h"
#include "platform/StringResource.h"
#include "app/DialogBuilder.h"
#include "app/ZorflashView.h"
#include "app/CommSettingsDialog.h"
#include "app/IPAddressCtrl.h"
#include "app/UiStrings.h"

// Every GUI test drives widgets, events and the test library: one set for all of them.
#include <QTest>
#include <QtWidgets>

#include <functional>
#include <memory>

using namespace zorflash;

// Writes an RT71 update file: the 56-byte header (volume "01"), then per section (one for
// MAIN, two for SUB) a START record, `records` records and, unless left out, the END record.
void WriteUpdateFile(const QString& path, int records, bool withEnd = true, const QByteArray& kind = "MAIN");
void WriteBytes(const QString& path, const QByteArray& bytes);

template <typename T>
T* Control(const QWidget* dialog, int id)
{
    return qobject_cast<T*>(FindControl(dialog, id));
}

// Opens the settings dialog the way the operator does (the form's Settings handler),
// lets edit() work on it while it is modal, then clicks the button with buttonId
// (1 OK, 2 Cancel). False if no dialog appeared.
bool DriveSettingsDialog(CZorflashView* view, const std::function<void(CCommSettingsDialog*)>& edit,
                         int buttonId);

// Types 127.0.0.1 and the port into the settings dialog and presses OK.
bool SetLocalLink(CZorflashView* view, int port);

// A running application whose message boxes and file chooser answer for the operator.
struct GuiSession {
    std::unique_ptr<CZorflashApp> app;
    QStringList messages;
    QList<bool> messagesOnWindowThread;
    QMessageBox::StandardButton answer = QMessageBox::Ok;
    QString chosenFile;  // empty: the chooser is cancelled
    int chooserCalls = 0;

    bool Start(Language language = Language::English);
    // The application goes and the next test starts in English again.
    void Stop();
    CMainFrame* Frame() const { return app->GetMainFrame(); }
    CZorflashView* View() const { return Frame()->GetView(); }
    UpdateSettings& Record() const { return app->GetDocument()->GetSettings(); }
    template <typename T>
    T* Form(int id) const { return Control<T>(View(), id); }
    void Browse(const QString& path);  // presses Browse and chooses path
};
