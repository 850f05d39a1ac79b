#include "cli/run/TargetAddress.h"

#include "platform/DecimalText.h"
#include "present/DisplayTexts.h"
#include "update/UpdateSettings.h"

#include <cctype>

namespace zorflash {

namespace {
using Id = CDisplayTexts::Id;

std::string Say(Language language, Id id, std::initializer_list<std::string> values)
{
    return CDisplayTexts::Format(id, language, values);
}

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

// Text an operator meant as an IPv6 address: bracketed, or hexadecimal groups with at
// least two colons before any dot ("::1", "fe80::1", "::ffff:127.0.0.1"). A dotted
// address followed by more than one colon ("127.0.0.1:80:90") is a mistyped port instead.
bool LooksLikeIpv6(const std::string& text)
{
    if (!text.empty() && text[0] == '[')
        return true;
    const size_t firstColon = text.find(':');
    if (firstColon == std::string::npos || text.find(':', firstColon + 1) == std::string::npos)
        return false;
    if (text.find('.') < firstColon)
        return false;
    for (const char c : text)
        if (!std::isxdigit(static_cast<unsigned char>(c)) && c != ':' && c != '.')
            return false;
    return true;
}

// Why no instrument can have this address, or null when one can.
const char* Unreachable(uint32_t address, Language language)
{
    if (address == 0)
        return CDisplayTexts::Text(Id::TargetUnspecified, language);
    if (address == 0xFFFFFFFFu)
        return CDisplayTexts::Text(Id::TargetBroadcast, language);
    if ((address >> 28) == 0xE)
        return CDisplayTexts::Text(Id::TargetMulticast, language);
    return nullptr;
}
}  // namespace

bool ParseTargetAddress(const std::string& text, uint32_t& address, int32_t& port, std::string& error,
                        Language language)
{
    std::string host = text;
    port = kDefaultPort;
    if (LooksLikeIpv6(text)) {
        error = Say(language, Id::TargetIpv6, {text});
        return false;
    }
    const size_t colon = text.find(':');
    if (colon != std::string::npos && text.find(':', colon + 1) != std::string::npos) {
        error = Say(language, Id::TargetColons, {text});
        return false;
    }
    if (colon != std::string::npos) {
        host = text.substr(0, colon);
        const std::string portText = text.substr(colon + 1);
        if (portText.empty() || portText.find_first_not_of("0123456789") != std::string::npos) {
            error = Say(language, Id::TargetPortNotNumber, {portText});
            return false;
        }
        uint64_t value = 0;
        if (!ParseNumber(portText, 65535, value) || value == 0) {
            error = Say(language, Id::TargetPortRange, {portText});
            return false;
        }
        port = static_cast<int32_t>(value);
    }
    uint32_t result = 0;
    size_t start = 0;
    for (int octet = 0; octet < 4; ++octet) {
        const size_t dot = host.find('.', start);
        if ((octet < 3) == (dot == std::string::npos)) {
            error = Say(language, Id::TargetFourNumbers, {host});
            return false;
        }
        const std::string part = host.substr(start, octet < 3 ? dot - start : std::string::npos);
        uint64_t value = 0;
        if (!ParseNumber(part, 255, value)) {
            error = Say(language, Id::TargetOctet, {host});
            return false;
        }
        result = (result << 8) | static_cast<uint32_t>(value);
        start = dot + 1;
    }
    if (const char* why = Unreachable(result, language)) {
        error = Say(language, Id::TargetQuoted, {why, host});
        return false;
    }
    address = result;
    return true;
}

bool ParseTargetRange(const std::string& text, std::size_t limit,
                      std::vector<std::pair<uint32_t, int32_t>>& targets, std::string& error, Language language)
{
    targets.clear();
    const size_t colon = text.find(':');
    const std::string host = text.substr(0, colon);
    const std::string port = colon == std::string::npos ? std::string() : text.substr(colon);
    const size_t hostDash = host.find('-');
    const size_t portDash = port.find('-');
    uint32_t first = 0, last = 0;
    int32_t firstPort = 0, lastPort = 0;
    if (LooksLikeIpv6(text) || (hostDash == std::string::npos && portDash == std::string::npos)) {
        if (!ParseTargetAddress(text, first, firstPort, error, language))
            return false;
        targets.emplace_back(first, firstPort);
        return true;
    }
    const std::string from = host.substr(0, hostDash) + port.substr(0, portDash);
    const std::string to = (hostDash == std::string::npos ? host : host.substr(hostDash + 1))
                           + (portDash == std::string::npos ? port : ":" + port.substr(portDash + 1));
    if (!ParseTargetAddress(from, first, firstPort, error, language) ||
        !ParseTargetAddress(to, last, lastPort, error, language)) {
        error = Say(language, Id::TargetInRange, {text, error});
        return false;
    }
    if (first > last || firstPort > lastPort) {
        error = Say(language, Id::TargetBackwards, {text});
        return false;
    }
    const uint64_t count = (uint64_t{last} - first + 1) * static_cast<uint64_t>(lastPort - firstPort + 1);
    if (count > limit) {
        error = Say(language, Id::TargetTooMany, {text, std::to_string(count), std::to_string(limit)});
        return false;
    }
    for (uint64_t address = first; address <= last; ++address) {
        if (const char* why = Unreachable(static_cast<uint32_t>(address), language)) {
            error = Say(language, Id::TargetInRange, {text, why});
            return false;
        }
        for (int32_t p = firstPort; p <= lastPort; ++p)
            targets.emplace_back(static_cast<uint32_t>(address), p);
    }
    return true;
}

}  // namespace zorflash
