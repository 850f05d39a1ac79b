#include "ui/LinkSummary.h"

#include <cstdio>

namespace zorflash {

std::string FormatLinkSummary(const UpdateSettings& settings)
{
    if (settings.useUsb)
        return settings.fastMode ? "USB: Fast Mode" : "USB: Normal Mode";
    // Octets right-aligned in three columns keep the summary's width steady while the
    // operator compares addresses.
    const uint32_t a = settings.ipAddress;
    char text[64];
    std::snprintf(text, sizeof text, "%3d.%3d.%3d.%3d  Port %d", static_cast<int>((a >> 24) & 0xFF),
                  static_cast<int>((a >> 16) & 0xFF), static_cast<int>((a >> 8) & 0xFF),
                  static_cast<int>(a & 0xFF), static_cast<int>(settings.port));
    return std::string("TCP/IP: ") + text;
}

}  // namespace zorflash
