#include "sim/SimArguments.h"

#include <charconv>

namespace zorflash {

namespace {

template <typename T>
bool ParseWhole(const std::string& text, T& value)
{
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return !text.empty() && ec == std::errc() && ptr == end;
}

} // namespace

bool ParseHostPort(const std::string& text, std::string& host, int& port, std::string& error)
{
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0 || !ParseWhole(text.substr(colon + 1), port)
        || port < 0 || port > 65535) {
        error = "--tcp wants HOST:PORT, e.g. 127.0.0.1:8023, not '" + text + "'";
        return false;
    }
    host = text.substr(0, colon);
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
