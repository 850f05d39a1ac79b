#pragma once

#include "update/UpdateSettings.h"

#include <string>

namespace zorflash {

// The one-line summary of how the instrument is reached, as the form shows it:
// "USB: Fast Mode", "USB: Normal Mode" or "TCP/IP: 192.168.  0.  1  Port 8023".
std::string FormatLinkSummary(const UpdateSettings& settings);

}  // namespace zorflash
