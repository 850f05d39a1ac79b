#pragma once

#include "cli/run/TargetList.h"
#include "resources/strings/Language.h"
#include "update/UpdateProtocol.h"
#include "update/UpdateSettings.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zorflash {

// What `zorflash-cli flash` was asked to do, for one target or several: the same file,
// model and mode for each, the link set per target.
struct FlashOptions {
    UpdateSettings settings;
    std::vector<FleetTarget> targets;
    std::size_t parallel = 0;   // at most this many targets at once; 0: every target
    bool quiet = false;
    bool precheck = true;       // the whole file read once, before any instrument is contacted
    bool noPrompt = false;      // a missing or wrong volume ends the run at once
    bool json = false;          // newline-delimited JSON events on stdout
    // The final status text byte for byte, and every byte of the link as a hex dump; with
    // several targets each name is a pattern, "{target}" becoming the target's name.
    std::string statusFile;
    std::string traceFile;
    bool traceAll = false;      // the record stream in full rather than one summary per block
    uint32_t timeoutMs = UpdateProtocol::kTransferTimeoutMs;
    bool timeoutGiven = false;  // --timeout then also bounds connect, commands, identification
    Language language = Language::English;

    // The settings of one target: the common ones with its link.
    UpdateSettings SettingsFor(const FleetTarget& target) const
    {
        UpdateSettings s = settings;
        s.useUsb = target.kind == FleetTarget::Kind::Usb ? 1 : 0;
        s.ipAddress = target.address;
        s.port = target.port;
        s.usbDeviceNumber = target.usbNumber;
        return s;
    }
};

}  // namespace zorflash
