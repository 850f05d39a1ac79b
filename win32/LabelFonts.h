#pragma once

#include "resources/ui/DialogTemplate.h"
#include "win32/WinResource.h"

#include <windows.h>

#include <vector>

namespace zorflash {

// The templates' labels were measured in the operator's fonts; where a stand-in font runs
// wider, a label's text is narrowed a little rather than cut off (as the Qt views do).
// Owns the narrowed fonts for as long as the dialog shows them.
class CLabelFonts {
public:
    // dialog: created from layout, its children in template order.
    void Fit(HWND dialog, const DialogTemplate& layout);

private:
    std::vector<CFontHandle> m_fonts;
};

}  // namespace zorflash
