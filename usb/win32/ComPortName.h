#pragma once

#include <string>

namespace zorflash {

// The number of a COM port name ("COM7", "com7" or "\\.\COM7"), or -1 for any other name:
// only COM ports are instruments on Windows.
long ComPortNumber(const std::string& name);

}  // namespace zorflash
