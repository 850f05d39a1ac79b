#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zorflash {

// The device paths the USB layer tries, in order: ZORFLASH_USB_DEVICES (or the default
// list when it is unset) with each glob pattern replaced by its matches, sorted.
// Patterns that match nothing and empty items add nothing.
// On Windows: port names separated by ';' (COM3;COM7, or \\.\COM3), no patterns, and
// by default every COM port present, in the order of their numbers.
constexpr const char* kDefaultUsbDevices = "/dev/ttyACM*:/dev/usbtmc*";  // POSIX

std::vector<std::string> ExpandUsbCandidates(const char* list);
std::vector<std::string> UsbCandidatePaths();
// Where the layer looks, for an operator's message: the variable's value or the default.
std::string UsbCandidatesDescription();

// What makes two candidate paths one device, for the searches that share the list: a
// character device's device number on POSIX (a /dev/serial/by-id link and /dev/ttyACM0
// are one port), the port's name on Windows (COM3 and \\.\COM3); the path itself when
// it cannot be looked at.
std::string UsbDeviceKey(const std::string& path);

// A candidate a search could not open, and why, in the operator's words: what the search
// itself met (it does not exist, it is no instrument, another program or update holds
// it), never a second look at the list.
struct SkippedUsbCandidate {
    std::string path;
    std::string reason;
};
// The words for the reason the layer left when it would not open a candidate: a name that
// can be no instrument reads "not a character device" (POSIX) or "not a COM port"
// (Windows); others read as the system's text.
std::string UsbSkipReason(uint32_t code);

}  // namespace zorflash
