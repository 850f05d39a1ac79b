#pragma once

#include "resources/strings/Language.h"

namespace zorflash {

// `zorflash-cli probe`: every USB instrument found and the device number it answers with;
// with json, one JSON document on stdout. The device an update with --usb would keep is
// marked, and a reply that names another model is said to be one.
int RunProbe(int modelIndex, bool json, Language language);

}  // namespace zorflash
