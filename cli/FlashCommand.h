#pragma once

#include "update/UpdateSettings.h"

#include <cstdint>
#include <string>

// `zorflash-cli flash`: one update on the engine's worker thread, echoed to the terminal.
struct FlashOptions {
    UpdateSettings settings;
    bool quiet = false;
    std::string statusFile;   // the final status text, byte for byte
    uint32_t timeoutMs = 10000;
    bool timeoutGiven = false;  // --timeout then also bounds connect, commands, identification
};

int RunFlash(const FlashOptions& options);

// The record stream bytes of the volumes that exist, for the progress bar's total.
uint64_t RecordStreamTotal(const std::string& filePath);
