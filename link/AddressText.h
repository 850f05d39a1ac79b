#pragma once

#include <cstddef>
#include <cstdint>

namespace zorflash {

// The dotted-decimal text of a host-order IPv4 address, most significant byte first
// (0xC0A80001 gives "192.168.0.1"): what the device link stores in its addressText and
// hands to the TCP channel. out receives at most 15 characters and a NUL (size >= 16).
void FormatAddressText(uint32_t address, char* out, size_t size);

}  // namespace zorflash
