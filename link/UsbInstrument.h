#pragma once

#include <cstdint>
#include <string>

namespace zorflash {

// What an identification search learnt from one USB instrument: `zorflash-cli probe`
// lists these, and an update's own search hands them to its link observer, so a failure
// is explained by what that search saw.
struct UsbInstrument {
    std::string path;          // the device path it was opened at
    std::string reply;         // its identification reply line, CR dropped, at most 255 characters
    bool hasNumber = false;    // the reply reaches index 8, where the device number starts
    int32_t deviceNumber = 0;  // meaningful when hasNumber
    uint32_t error = 0;        // 0, or 0x20000003 (query not sent) / 0x20000002 (no reply line)
};

}  // namespace zorflash
