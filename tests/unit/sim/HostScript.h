#pragma once

// The host's side of an update, hand-written for driving the simulator in tests: records
// are spelt out byte by byte, never produced by the engine.

#include <cstdint>
#include <optional>
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

inline const std::string kMainLine = "MORVENAL RT71 MAIN ROM        \r\n";
inline const std::string kSubLine = "MORVENAL NB60 SUB ROM         \r\n";

// A 56-byte header: the given first line, then filler with volume "01" at offset 48.
inline Bytes Header(const std::string& line32) { return Text(line32 + "HAND-WRITTEN HDR01    \r\n"); }

// Records from..to-1 of a test stream: record i is N = 1, data {i, 0x80}, checksum i + 0x80.
inline Bytes Records(int from, int to)
{
    Bytes out;
    for (int i = from; i < to; ++i)
        out.insert(out.end(), {0x01, static_cast<uint8_t>(i), 0x80, static_cast<uint8_t>(i + 0x80)});
    return out;
}

// One message of the host, and what the instrument should answer after it (nullopt when
// the exchange has no reply there).
struct Step {
    std::string label;
    Bytes send;
    std::optional<std::string> reply;
};

// The first `steps` steps of the handshake, up to the header with the given first line.
inline std::vector<Step> Handshake(const std::string& line = kMainLine, std::size_t steps = 5)
{
    std::vector<Step> all = {
        {"command", Text(":UP:EXEC\r\n"), std::nullopt},
        {"sync", {0x55}, "\xAA"},
        {"ident", Text("MORVENAL\r\n"), "MORVENAL\r\n"},
        {"header-size", {0x38}, "8"},
        {"header", Header(line), "Y"},
    };
    all.resize(steps);
    return all;
}

inline std::vector<Step> With(std::vector<Step> steps, std::initializer_list<Step> more)
{
    steps.insert(steps.end(), more);
    return steps;
}

// A good update, each section of the given number of records (START included) sent as a
// fast-mode host does: START, record 1, then blocks of 64, the rest together with END.
inline std::vector<Step> GoodUpdate(const std::string& line, const std::vector<int>& sections)
{
    std::vector<Step> steps = Handshake(line);
    for (std::size_t s = 1; s <= sections.size(); ++s) {
        const std::string name = "s" + std::to_string(s);
        int from = 0;
        for (int i = 0; i < sections[s - 1]; ++i) {
            if (i == 0 || (i - 1) % 64 == 0) {
                steps.push_back({name + "r" + std::to_string(i), Records(from, i + 1), "Y"});
                from = i + 1;
            }
        }
        steps.push_back({name + "end", Cat({Records(from, sections[s - 1]), {0x00}}), std::nullopt});
    }
    return steps;
}

} // namespace simtest
