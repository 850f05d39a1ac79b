#pragma once

#include "update/UpdateSettings.h"

#include <cstdint>
#include <string>

namespace zorflash {

// What the communication settings dialog's controls hold, apart from any window, so the
// load and store rules can be checked on their own.
struct CommSettingsControls {
    bool tcpChecked = false;      // 1008
    bool usbChecked = false;      // 1009
    bool tcpEnabled = true;
    bool usbEnabled = true;
    bool addressEnabled = true;   // 1012 and 1013 go together
    uint32_t address = 0;         // 1012, first field in the most significant byte
    std::string portText;         // 1013
    bool fastChecked = false;     // 1010
};

// The controls as the dialog opens on the record: transport, the model's permissions,
// address, port in decimal, fast mode.
CommSettingsControls LoadCommSettings(const UpdateSettings& settings);

// OK: TCP/IP only when 1008 is checked; the address and port are stored even while their
// controls are disabled; the port text read as a decimal number.
void StoreCommSettings(const CommSettingsControls& controls, UpdateSettings& settings);

// Leading blanks, optional sign, digits up to the first other character; no digits give
// 0. No range check, since the operator's number is stored as typed; a number too long
// for the field stops at the field's limit instead of wrapping into a different port.
int32_t ParsePortText(const std::string& text);

}  // namespace zorflash
