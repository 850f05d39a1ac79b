#pragma once

// Hand-written pieces of the host's side of an update, for driving the simulator in
// tests. Records are spelt out byte by byte, never produced by the engine.

#include <cstdint>
#include <string>
#include <vector>

namespace simtest {

using Bytes = std::vector<uint8_t>;

inline Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

inline Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

// A 56-byte header: the given first line, then filler with "01" at offset 48.
inline Bytes Header(const std::string& line32)
{
    std::string header = line32 + "HAND-WRITTEN HDR" + "01" + "    \r\n";
    return Text(header);
}

inline const std::string kMainLine = "MORVENAL RT71 MAIN ROM        \r\n";
inline const std::string kSubLine = "MORVENAL NB60 SUB ROM         \r\n";

// Record number i of a test stream: N = 1, data {i, 0x80}, checksum i + 0x80.
inline Bytes SmallRecord(int i)
{
    const auto lo = static_cast<uint8_t>(i);
    return Bytes{0x01, lo, 0x80, static_cast<uint8_t>(lo + 0x80)};
}

inline const Bytes kHandshake = Text(":UP:EXEC\r\n\x55MORVENAL\r\n\x38");

} // namespace simtest
