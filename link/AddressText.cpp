#include "link/AddressText.h"

#include <cstdio>

namespace zorflash {

void FormatAddressText(uint32_t address, char* out, size_t size)
{
    std::snprintf(out, size, "%u.%u.%u.%u", (address >> 24) & 0xFFu, (address >> 16) & 0xFFu,
                  (address >> 8) & 0xFFu, address & 0xFFu);
}

}  // namespace zorflash
