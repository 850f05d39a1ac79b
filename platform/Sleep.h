#pragma once

#include <cstdint>

// Sleep(0) gives up the rest of the time slice; longer values wait that many ms.
// On Windows this is the system's own Sleep, which means exactly that.
#ifdef _WIN32
extern "C" __declspec(dllimport) void __stdcall Sleep(unsigned long milliseconds);
#endif

namespace zorflash {

#ifdef _WIN32
using ::Sleep;
#else
void Sleep(uint32_t milliseconds);
#endif

}  // namespace zorflash
