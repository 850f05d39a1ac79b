#pragma once

#include "resources/strings/Language.h"
#include "update/UpdateSettings.h"

namespace zorflash {

// `zorflash-cli inspect`: the file of `settings` read whole, every volume, with no link;
// what an update would make of it on stdout (one JSON document with json). Exit 1 when
// the update would not transfer completely.
int RunInspect(const UpdateSettings& settings, bool json, Language language);

}  // namespace zorflash
