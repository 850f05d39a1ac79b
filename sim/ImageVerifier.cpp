#include "sim/ImageVerifier.h"

#include "sim/ModelFacts.h"
#include "sim/VolumeName.h"

#include <cstdio>
#include <fstream>

namespace zorflash {

namespace {

constexpr std::size_t kHeaderSize = 56;

bool ReadWhole(const std::string& path, std::vector<uint8_t>& bytes)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        return false;
    const std::streamoff size = in.tellg();
    if (size < 0)
        return false;
    bytes.resize(static_cast<std::size_t>(size));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(bytes.data()), size);
    return static_cast<std::streamoff>(in.gcount()) == size;
}

std::string Hex(uint8_t byte)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", byte);
    return text;
}

} // namespace

bool CImageVerifier::ExpectedImage(const std::string& updateFile, std::vector<uint8_t>& image,
                                   std::string& error)
{
    const std::string names[2] = {VolumeFileName(updateFile, 1), VolumeFileName(updateFile, 2)};
    std::vector<uint8_t> volume;
    if (!ReadWhole(names[0], volume)) {
        error = "cannot read volume 1 '" + names[0] + "'";
        return false;
    }
    if (volume.size() < kHeaderSize) {
        error = "volume 1 '" + names[0] + "' holds fewer than 56 bytes";
        return false;
    }
    const auto match = ClassifyHeaderLine(volume.data());
    if (!match) {
        error = "volume 1 '" + names[0] + "' does not begin with a known header line";
        return false;
    }
    const int sectionsNeeded = SectionsOf(match->kind);
    image.assign(volume.begin(), volume.begin() + kHeaderSize);

    int volumeNumber = 1;
    std::size_t at = kHeaderSize;
    int section = 1;
    long long index = 0;
    int sectionsDone = 0;
    while (sectionsDone < sectionsNeeded) {
        if (at == volume.size()) {
            // Only where a length byte is due may the stream go on in the next volume.
            if (volumeNumber == 2) {
                error = "no END record: volume 2 ends in section " + std::to_string(section);
                return false;
            }
            if (!ReadWhole(names[1], volume) || volume.size() < kHeaderSize) {
                error = "volume 1 ends before the last END and volume 2 '" + names[1]
                        + "' cannot be read or is shorter than its header";
                return false;
            }
            volumeNumber = 2;
            at = kHeaderSize;
            continue;
        }
        const uint8_t length = volume[at];
        if (length == 0) {
            image.push_back(0);
            ++at;
            ++sectionsDone;
            ++section;
            index = 0;
            continue;
        }
        const std::size_t size = 2 * std::size_t{length} + 2;
        if (volume.size() - at < size) {
            error = "record " + std::to_string(index) + " of section " + std::to_string(section)
                    + " is cut short by the end of volume " + std::to_string(volumeNumber);
            return false;
        }
        unsigned sum = 0;
        for (std::size_t i = 1; i <= 2 * std::size_t{length}; ++i)
            sum += volume[at + i];
        if (static_cast<uint8_t>(sum) != volume[at + size - 1]) {
            error = "bad checksum in section " + std::to_string(section) + " record "
                    + std::to_string(index) + " (volume " + std::to_string(volumeNumber)
                    + " offset " + std::to_string(at) + ")";
            return false;
        }
        image.insert(image.end(), volume.begin() + static_cast<std::ptrdiff_t>(at),
                     volume.begin() + static_cast<std::ptrdiff_t>(at + size));
        at += size;
        ++index;
    }
    return true;
}

bool CImageVerifier::Verify(const std::string& imageFile, const std::string& updateFile,
                            std::string& report)
{
    std::vector<uint8_t> expected;
    std::string error;
    if (!ExpectedImage(updateFile, expected, error)) {
        report = "update file: " + error;
        return false;
    }
    std::vector<uint8_t> image;
    if (!ReadWhole(imageFile, image)) {
        report = "cannot read the image '" + imageFile + "'";
        return false;
    }
    const std::size_t common = std::min(image.size(), expected.size());
    for (std::size_t i = 0; i < common; ++i) {
        if (image[i] != expected[i]) {
            report = "differ at offset " + std::to_string(i) + ": image " + Hex(image[i])
                     + ", update file " + Hex(expected[i]);
            return false;
        }
    }
    if (image.size() != expected.size()) {
        report = "differ at offset " + std::to_string(common) + ": the image holds "
                 + std::to_string(image.size()) + " bytes, the update file gives "
                 + std::to_string(expected.size());
        return false;
    }
    report = "OK (" + std::to_string(image.size()) + " bytes)";
    return true;
}

}  // namespace zorflash
