#include "platform/LastError.h"

namespace zorflash {

const char* DescribeError(uint32_t code)
{
    switch (code) {
    case kErrorSuccess:
        // A failure that left no code: never "success" in a failure's reason.
        return "no system error was reported";
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
        return SystemErrorText(code);
    return "application error";
}

}  // namespace zorflash
