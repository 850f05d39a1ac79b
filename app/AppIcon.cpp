#include "app/AppIcon.h"

#include <QSize>
#include <QString>

// The resource lives in a static library: naming it keeps it in every program. The macro
// declares the resource's own function where it stands, so it stands outside our namespace.
static void InitIconResource()
{
    Q_INIT_RESOURCE(zorflash_icons);
}

namespace zorflash {

QIcon AppIcon()
{
    InitIconResource();
    // Each size is its own rendering of the drawing, so small sizes stay sharp instead of
    // being scaled down from a large bitmap.
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/hicolor/%1x%1/apps/zorflash.png").arg(size), QSize(size, size));
    return icon;
}

}  // namespace zorflash
