#pragma once

#include "resources/strings/Language.h"
#include "update/UpdateProtocol.h"
#include "update/UpdateSettings.h"

#include <cstdint>
#include <string>

namespace zorflash {

// `zorflash-cli flash`: one update on the engine's worker thread, echoed to the terminal.
struct FlashOptions {
    UpdateSettings settings;
    bool quiet = false;
    std::string statusFile;   // the final status text, byte for byte
    uint32_t timeoutMs = UpdateProtocol::kTransferTimeoutMs;
    Language language = Language::English;
    bool timeoutGiven = false;  // --timeout then also bounds connect, commands, identification
};

int RunFlash(const FlashOptions& options);

}  // namespace zorflash
