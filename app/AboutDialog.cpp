#include "app/AboutDialog.h"

#include "platform/StringResource.h"
#include "ui/UiStrings.h"
#include "resources/ui/DialogTemplate.h"
#include "ui/DialogBuilder.h"

#include <QPushButton>

CAboutDialog::CAboutDialog(QWidget* parent)
    : QDialog(parent)
{
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    CDialogBuilder(*FindDialogTemplate(kIddAboutBox, UiLanguage())).Build(this);
    connect(qobject_cast<QPushButton*>(FindControl(this, kIdOk)), &QPushButton::clicked, this, &QDialog::accept);
}
