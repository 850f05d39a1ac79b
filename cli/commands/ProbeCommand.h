#pragma once

namespace zorflash {

// `zorflash-cli probe`: every USB instrument found and the device number it answers with;
// with json, one JSON document on stdout.
int RunProbe(int modelIndex, bool json);

}  // namespace zorflash
