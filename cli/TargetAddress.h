#pragma once

#include <cstdint>
#include <string>

namespace zorflash {

// "A.B.C.D[:PORT]" from the command line: four decimal octets 0..255 and a decimal port
// (8023 when left out). The port is kept as given, like the desktop's port box: the link
// itself refuses one outside 1..65535, so both front ends fail the same way.
bool ParseTargetAddress(const std::string& text, uint32_t& address, int32_t& port, std::string& error);

}  // namespace zorflash
