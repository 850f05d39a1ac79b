#include "app/AboutDialog.h"

#include "app/AppIcon.h"
#include "platform/StringResource.h"
#include "app/UiStrings.h"
#include "resources/ui/DialogTemplate.h"
#include "app/DialogBuilder.h"

#include <QLabel>
#include <QPushButton>

namespace zorflash {

CAboutDialog::CAboutDialog(QWidget* parent)
    : QDialog(parent)
{
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    const CDialogBuilder builder(*FindDialogTemplate(kIddAboutBox, UiLanguage()));
    builder.Build(this);
    // The program's icon in the room the template keeps left of the text.
    auto* icon = new QLabel(this);
    const QRect place = builder.MapDialogRect(10, 10, 21, 20);
    icon->setGeometry(place);
    icon->setAlignment(Qt::AlignCenter);
    icon->setPixmap(AppIcon().pixmap(32, 32));
    connect(qobject_cast<QPushButton*>(FindControl(this, kIdOk)), &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace zorflash
