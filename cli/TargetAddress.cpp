#include "cli/TargetAddress.h"

#include "platform/DecimalText.h"
#include "update/UpdateSettings.h"

#include <cctype>

namespace zorflash {

namespace {
// Digits only, all of the text: no blanks or signs on a command line.
bool ParseNumber(const std::string& text, uint64_t limit, uint64_t& value)
{
    if (text.empty() || text.size() > 10 || !std::isdigit(static_cast<unsigned char>(text[0])))
        return false;
    const DecimalPrefix read = ReadDecimalPrefix(text);
    if (read.end != text.size())
        return false;
    value = static_cast<uint64_t>(read.value);
    return value <= limit;
}
}  // namespace

bool ParseTargetAddress(const std::string& text, uint32_t& address, int32_t& port, std::string& error)
{
    std::string host = text;
    port = kDefaultPort;
    const size_t colon = text.find(':');
    if (colon != std::string::npos) {
        host = text.substr(0, colon);
        uint64_t value = 0;
        if (!ParseNumber(text.substr(colon + 1), 0x7FFFFFFF, value)) {
            error = "the port must be a decimal number: '" + text.substr(colon + 1) + "'";
            return false;
        }
        port = static_cast<int32_t>(value);
    }
    uint32_t result = 0;
    size_t start = 0;
    for (int octet = 0; octet < 4; ++octet) {
        const size_t dot = host.find('.', start);
        if ((octet < 3) == (dot == std::string::npos)) {
            error = "the address must be four numbers A.B.C.D: '" + host + "'";
            return false;
        }
        const std::string part = host.substr(start, octet < 3 ? dot - start : std::string::npos);
        uint64_t value = 0;
        if (!ParseNumber(part, 255, value)) {
            error = "each part of the address must be 0 to 255: '" + host + "'";
            return false;
        }
        result = (result << 8) | static_cast<uint32_t>(value);
        start = dot + 1;
    }
    address = result;
    return true;
}

}  // namespace zorflash
