#pragma once

namespace zorflash {

// `zorflash-cli probe`: every USB instrument found and the device number it answers with.
int RunProbe(int modelIndex);

}  // namespace zorflash
