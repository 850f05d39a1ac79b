#pragma once

// Builds update files byte by byte for the tests, independently of the engine's reader.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace testsupport {

using Bytes = std::vector<uint8_t>;

inline std::string HeaderLine(const std::string& token, const std::string& kind)
{
    std::string line = "MORVENAL " + token + " " + kind + " ROM";
    line.resize(30, ' ');
    return line + "\r\n";
}

// The 56-byte header: header line, 16 bytes of our own, volume number, 6 bytes of filler.
inline Bytes Header(const std::string& headerLine, int volume)
{
    Bytes header(headerLine.begin(), headerLine.end());
    header.resize(32, ' ');
    const std::string middle = "FW 1.23 20261206";
    header.insert(header.end(), middle.begin(), middle.end());
    header.push_back(static_cast<uint8_t>('0' + volume / 10));
    header.push_back(static_cast<uint8_t>('0' + volume % 10));
    for (int i = 0; i < 6; ++i)
        header.push_back(static_cast<uint8_t>(i < 4 ? ' ' : (i == 4 ? '\r' : '\n')));
    return header;
}

// One record: N, 2N data bytes, checksum of the data.
inline Bytes Record(const Bytes& data)
{
    Bytes record;
    record.push_back(static_cast<uint8_t>(data.size() / 2));
    unsigned sum = 0;
    for (uint8_t b : data) {
        record.push_back(b);
        sum += b;
    }
    record.push_back(static_cast<uint8_t>(sum));
    return record;
}

// A record of N pairs whose bytes follow from seed.
inline Bytes PatternRecord(int pairs, uint32_t seed)
{
    Bytes data(static_cast<size_t>(pairs) * 2);
    for (size_t i = 0; i < data.size(); ++i) {
        seed = seed * 1103515245u + 12345u;
        data[i] = static_cast<uint8_t>(seed >> 16);
    }
    return Record(data);
}

// A section: START record plus `records - 1` further ones, then END.
inline Bytes Section(int records, uint32_t seed, int pairs = 7)
{
    Bytes section;
    for (int i = 0; i < records; ++i) {
        Bytes r = PatternRecord(pairs, seed + static_cast<uint32_t>(i));
        section.insert(section.end(), r.begin(), r.end());
    }
    section.push_back(0x00);
    return section;
}

inline void Append(Bytes& to, const Bytes& more)
{
    to.insert(to.end(), more.begin(), more.end());
}

inline void WriteFile(const std::filesystem::path& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline Bytes ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A private directory, removed with the object. In memory (/dev/shm, when there is one)
// for the fuzz targets, so a million inputs cost no disk writes.
class TempDir {
public:
    explicit TempDir(bool inMemory = false)
    {
        // create_directory answers false for a name that exists: each try takes a new one.
        std::error_code ec;
        const std::filesystem::path base = inMemory && std::filesystem::is_directory("/dev/shm", ec)
                                               ? std::filesystem::path("/dev/shm")
                                               : std::filesystem::temp_directory_path();
        std::random_device random;
        for (int attempt = 0; attempt < 100 && m_path.empty(); ++attempt) {
            const std::filesystem::path candidate = base / ("zorflash-test-" + std::to_string(random()));
            if (std::filesystem::create_directory(candidate, ec))
                m_path = candidate;
        }
    }
    ~TempDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return m_path; }
    std::string operator/(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

}  // namespace testsupport
