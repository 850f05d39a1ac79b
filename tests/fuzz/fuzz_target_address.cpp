// What may follow --tcp: any bytes. An address that is accepted is made of digits, dots
// and at most one colon, and printed as A.B.C.D:PORT it reads back as the same address
// and port; one that is refused says why. Nothing here opens a link.
//
// Input: the text of the option.

#include "cli/TargetAddress.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace zorflash;

namespace {

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "target address: %s\n", what);
    std::abort();
}

std::string Printed(uint32_t address, int32_t port)
{
    return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 0xFF) + "."
           + std::to_string((address >> 8) & 0xFF) + "." + std::to_string(address & 0xFF) + ":"
           + std::to_string(port);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    uint32_t address = 0;
    int32_t port = 0;
    std::string error;
    if (!ParseTargetAddress(text, address, port, error)) {
        if (error.empty())
            Fail("a refused address without a reason");
        return 0;
    }
    if (text.find_first_not_of("0123456789.:") != std::string::npos || text.find(':') != text.rfind(':'))
        Fail("an address with more than digits, dots and one colon was accepted");
    if (port < 0)
        Fail("a negative port");

    const std::string printed = Printed(address, port);
    uint32_t again = 0;
    int32_t againPort = 0;
    if (!ParseTargetAddress(printed, again, againPort, error))
        Fail("the printed address does not read back");
    if (again != address || againPort != port)
        Fail("the printed address reads back as another one");
    return 0;
}
