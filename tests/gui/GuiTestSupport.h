#pragma once

#include "ui/DialogBuilder.h"

#include <QString>
#include <QWidget>

#include <functional>
#include <string>

class CCommSettingsDialog;
class CZorflashView;

// Writes an RT71 MAIN update file: the 56-byte header (volume "01"), a START record,
// `records` records and, unless left out, the END record.
void WriteUpdateFile(const QString& path, int records, bool withEnd = true);
void WriteBytes(const QString& path, const std::string& bytes);

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

// Types the address and port into the settings dialog and presses OK.
bool SetTcpLink(CZorflashView* view, const QString& address, int port);
