#pragma once

#include <QIcon>

namespace zorflash {

// The program's icon in every size rendered from its drawing (resources/icons), the same
// artwork the desktop's menu shows: the window and the about box take it from here.
QIcon AppIcon();

}  // namespace zorflash
