#pragma once

#include "update/RomKind.h"

#include <cstdint>

namespace zorflash {

// One instrument model. Rows are copied by value; the texts they point at are static and
// live as long as the program, so a copy never owns them.
struct DeviceModel {
    const char* displayName;        // as listed for the operator
    const char* fileExtension;      // three characters, no dot
    const char* mainHeaderLine;     // 32 bytes: "MORVENAL <token> MAIN ROM", blanks to 30, CR LF
    const char* subHeaderLine;
    const char* patternHeaderLine;
    const char* idQuery;            // identification query over USB
    uint8_t tcpAllowed;
    uint8_t usbAllowed;
};

constexpr int kDeviceModelCount = 7;
constexpr int kHeaderLineLength = 32;

// The seven models in list order, followed by an all-zero end row.
extern const DeviceModel g_deviceModelTable[kDeviceModelCount + 1];

// The header line a model's file of the given kind begins with; null for a negative kind.
const char* HeaderLineOf(const DeviceModel& model, RomKind kind);

// Looks a model up by display name (any case) or by index "0".."6"; -1 if none matches.
int FindDeviceModel(const char* nameOrIndex);

}  // namespace zorflash
