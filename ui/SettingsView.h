#pragma once

#include "ui/CommSettingsRules.h"

namespace zorflash {

// The communication settings dialog (template 130) as its presenter sees it: the
// controls' state goes in and out as one CommSettingsControls. A Qt dialog and a Win32
// dialog implement it; the platform's own IP address control holds the address.
class ISettingsView {
public:
    virtual ~ISettingsView() = default;

    // Every control as given: checks, enabled states, address, port text, fast mode.
    virtual void ShowControls(const CommSettingsControls& controls) = 0;
    // The controls' state as the operator left it.
    virtual CommSettingsControls ReadControls() const = 0;
    // The address control (1012) and the port box (1013), together.
    virtual void EnableAddress(bool enabled) = 0;
};

}  // namespace zorflash
