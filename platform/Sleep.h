#pragma once

#include <cstdint>

namespace zorflash {

// Sleep(0) gives up the rest of the time slice; longer values wait that many ms.
void Sleep(uint32_t milliseconds);

}  // namespace zorflash
