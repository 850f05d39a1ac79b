#pragma once

#include <string>
#include <vector>

// The device paths the USB layer tries, in order: ZORFLASH_USB_DEVICES (or the default
// list when it is unset) with each glob pattern replaced by its matches, sorted.
// Patterns that match nothing and empty items add nothing.
constexpr const char* kDefaultUsbDevices = "/dev/ttyACM*:/dev/usbtmc*";

std::vector<std::string> ExpandUsbCandidates(const char* list);
std::vector<std::string> UsbCandidatePaths();
