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

const char* DescribeError(uint32_t code)
{
    switch (code) {
    case kErrorSuccess:
        return "success";
    case kErrorTimeout:
        return "the wait timed out";
    case kErrorInvalidArgument:
        return "invalid address, port or host name";
    case kErrorApplicationBit | 1:
        return "no (further) instrument to open";
    case kErrorApplicationBit | 2:
        return "no identification reply";
    case kErrorApplicationBit | 3:
        return "identification query could not be sent";
    default:
        break;
    }
    if (code < kErrorApplicationBit)
        return std::strerror(static_cast<int>(code));  // an errno value
    return "application error";
}

}  // namespace zorflash
