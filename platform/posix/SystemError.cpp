#include "platform/LastError.h"

#include <cstring>

namespace zorflash {

namespace {
thread_local uint32_t t_lastError = 0;
}

uint32_t GetLastError()
{
    return t_lastError;
}

void SetLastError(uint32_t code)
{
    t_lastError = code;
}

const char* SystemErrorText(uint32_t code)
{
    return std::strerror(static_cast<int>(code));
}

}  // namespace zorflash
