// What may follow --tcp: any bytes. An address that is accepted is made of digits, dots
// and at most one colon, and printed under its name A.B.C.D:PORT it reads back as the same
// address and port; one that is refused says why. Nothing here opens a link.
//
// Input: the text of the option.

#include "FuzzCheck.h"
#include "cli/run/TargetAddress.h"
#include "cli/run/TargetList.h"

#include <cstdint>

using namespace zorflash;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    FleetTarget target;
    std::string error;
    if (!ParseTargetAddress(text, target.address, target.port, error)) {
        if (error.empty())
            FuzzFail("a refused address without a reason");
        return 0;
    }
    if (text.find_first_not_of("0123456789.:") != std::string::npos || text.find(':') != text.rfind(':'))
        FuzzFail("an address with more than digits, dots and one colon was accepted", text);
    FleetTarget again;
    if (!ParseTargetAddress(target.Name(), again.address, again.port, error))
        FuzzFail("the printed address does not read back", target.Name());
    if (again.address != target.address || again.port != target.port)
        FuzzFail("the printed address reads back as another one", target.Name() + " " + again.Name());
    return 0;
}
