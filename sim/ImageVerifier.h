#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zorflash {

// Checks a received image against the update file it came from: the image must be the
// header of volume 1 followed by every record and END byte up to the last needed END,
// taken across the volumes as the tool reads them.
class CImageVerifier {
public:
    // The bytes an update of this file puts on the wire after the header-size step;
    // false with a reason if the file would not transfer completely.
    static bool ExpectedImage(const std::string& updateFile, std::vector<uint8_t>& image,
                              std::string& error);

    // True if the image file equals the expectation; `report` says so or names the first
    // difference.
    static bool Verify(const std::string& imageFile, const std::string& updateFile,
                       std::string& report);
};

}  // namespace zorflash
