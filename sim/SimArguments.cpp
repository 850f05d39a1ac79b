#include "sim/SimArguments.h"

#include <arpa/inet.h>
#include <charconv>
#include <cstdint>

namespace zorflash {

namespace {

template <typename T>
bool ParseWhole(const std::string& text, T& value)
{
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return !text.empty() && ec == std::errc() && ptr == end;
}

// A dotted IPv4 address in host byte order.
bool ParseAddress(const std::string& text, uint32_t& address)
{
    in_addr parsed{};
    if (::inet_pton(AF_INET, text.c_str(), &parsed) != 1)
        return false;
    address = ntohl(parsed.s_addr);
    return true;
}

std::string FormatAddress(uint32_t address)
{
    return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 0xFF) + "."
           + std::to_string((address >> 8) & 0xFF) + "." + std::to_string(address & 0xFF);
}

constexpr bool IsLoopback(uint32_t address) { return (address >> 24) == 127; }

// "FIRST[-LAST]" into an inclusive range; a single value gives first == last.
template <typename T, typename Parse>
bool ParseRange(const std::string& text, T& first, T& last, Parse parse)
{
    const std::size_t dash = text.find('-');
    if (!parse(text.substr(0, dash), first))
        return false;
    if (dash == std::string::npos) {
        last = first;
        return true;
    }
    return parse(text.substr(dash + 1), last) && first <= last;
}

} // namespace

bool ParseTcpEndpoints(const std::string& text, std::vector<TcpEndpoint>& endpoints,
                       std::string& error)
{
    endpoints.clear();
    const std::string usage = "--tcp wants ADDRESS[-ADDRESS]:PORT[-PORT] on loopback, e.g. "
                              "127.0.0.1:8023 or 127.0.0.1-127.0.0.16:8023, not '" + text + "'";
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos) {
        error = usage;
        return false;
    }
    uint32_t firstAddress = 0;
    uint32_t lastAddress = 0;
    int firstPort = 0;
    int lastPort = 0;
    const auto port = [](const std::string& part, int& value) {
        return ParseWhole(part, value) && value >= 0 && value <= 65535;
    };
    if (!ParseRange(text.substr(0, colon), firstAddress, lastAddress, ParseAddress)
        || !ParseRange(text.substr(colon + 1), firstPort, lastPort, port)) {
        error = usage;
        return false;
    }
    if (!IsLoopback(firstAddress) || !IsLoopback(lastAddress)) {
        error = "--tcp '" + text + "': the simulator serves only loopback addresses (127.0.0.0/8)";
        return false;
    }
    if (firstPort == 0 && lastPort != 0) {
        error = "--tcp '" + text + "': a port range starts at 1 (port 0 alone means a free port)";
        return false;
    }
    const uint64_t count = (uint64_t{lastAddress} - firstAddress + 1) * static_cast<uint64_t>(lastPort - firstPort + 1);
    if (count > kMaxTcpInstruments) {
        error = "--tcp '" + text + "' names " + std::to_string(count) + " instruments; at most "
                + std::to_string(kMaxTcpInstruments) + " are served at once";
        return false;
    }
    for (uint64_t address = firstAddress; address <= lastAddress; ++address)
        for (int p = firstPort; p <= lastPort; ++p)
            endpoints.push_back({FormatAddress(static_cast<uint32_t>(address)), p});
    return true;
}

bool ParseRecordPlace(const std::string& text, RecordPlace& place, std::string& error)
{
    const std::size_t colon = text.find(':');
    place = RecordPlace{};
    if ((colon != std::string::npos && !ParseWhole(text.substr(0, colon), place.section))
        || !ParseWhole(colon == std::string::npos ? text : text.substr(colon + 1), place.record)
        || place.section < 1 || place.record < 0) {
        error = "--bad-checksum wants [SECTION:]RECORD, the record's index in its section "
                "(0 = START, as in \"Sending (%d) Record\"), not '" + text + "'";
        return false;
    }
    return true;
}

bool SplitFaultTarget(const std::string& text, std::optional<int>& index, std::string& fault,
                      std::string& error)
{
    index.reset();
    fault = text;
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos || text.empty() || text[0] < '0' || text[0] > '9')
        return true;
    int value = 0;
    if (!ParseWhole(text.substr(0, colon), value) || value < 0 || value >= kMaxTcpInstruments) {
        error = "fault '" + text + "': the instrument index before the first ':' must be 0.."
                + std::to_string(kMaxTcpInstruments - 1);
        return false;
    }
    index = value;
    fault = text.substr(colon + 1);
    return true;
}

bool ParseFaultPlans(const std::vector<std::string>& texts, int count, int ackDelayMs,
                     std::vector<CFaultPlan>& plans, std::string& error)
{
    plans.assign(static_cast<std::size_t>(count), CFaultPlan{});
    for (const std::string& text : texts) {
        std::optional<int> index;
        std::string fault;
        if (!SplitFaultTarget(text, index, fault, error))
            return false;
        if (index && *index >= count) {
            error = "fault '" + text + "': there is no instrument " + std::to_string(*index)
                    + " (this run serves " + std::to_string(count) + ", counted from 0)";
            return false;
        }
        for (int i = 0; i < count; ++i) {
            if ((!index || *index == i) && !plans[static_cast<std::size_t>(i)].Add(fault, error))
                return false;
        }
    }
    for (CFaultPlan& plan : plans)
        plan.SetAckDelayMs(ackDelayMs);
    return true;
}

bool ParseNumberList(const std::string& text, int count, std::vector<int>& numbers,
                     std::string& error)
{
    numbers.clear();
    if (text.empty()) {
        for (int i = 0; i < count; ++i)
            numbers.push_back(i);
        return true;
    }
    std::size_t begin = 0;
    for (;;) {
        const std::size_t comma = text.find(',', begin);
        int value = 0;
        if (!ParseWhole(text.substr(begin, comma - begin), value) || value < 0) {
            error = "--usb-numbers wants numbers 0 or more separated by commas, not '" + text + "'";
            return false;
        }
        numbers.push_back(value);
        if (comma == std::string::npos)
            break;
        begin = comma + 1;
    }
    if (static_cast<int>(numbers.size()) != count) {
        error = "--usb-numbers gives " + std::to_string(numbers.size()) + " numbers for "
                + std::to_string(count) + " instruments";
        return false;
    }
    return true;
}

bool ParseSize(const std::string& text, unsigned long long& bytes, std::string& error)
{
    std::string digits = text;
    unsigned long long unit = 1;
    if (!digits.empty()) {
        switch (digits.back()) {
        case 'k': case 'K': unit = 1ULL << 10; break;
        case 'm': case 'M': unit = 1ULL << 20; break;
        case 'g': case 'G': unit = 1ULL << 30; break;
        default: break;
        }
        if (unit != 1)
            digits.pop_back();
    }
    unsigned long long value = 0;
    if (!ParseWhole(digits, value) || value == 0 || value > (1ULL << 40) / unit) {
        error = "--bytes wants a size such as 4096, 64K or 64M, not '" + text + "'";
        return false;
    }
    bytes = value * unit;
    return true;
}

}  // namespace zorflash
