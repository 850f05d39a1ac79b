#pragma once

#include "resources/strings/Language.h"
#include "update/UpdateProtocol.h"
#include "update/UpdateSettings.h"

#include <cstdint>
#include <string>

namespace zorflash {

class COutputQueue;

// `zorflash-cli flash`: the whole file checked first, then one update on the engine's
// worker thread, rendered for a terminal, a pipe or a script.
struct FlashOptions {
    UpdateSettings settings;
    bool quiet = false;
    bool precheck = true;     // read every volume before the instrument is contacted
    bool noPrompt = false;    // a missing or wrong volume ends the run at once
    bool json = false;        // newline-delimited JSON events on stdout
    std::string statusFile;   // the final status text, byte for byte
    std::string traceFile;    // every byte of the link, as a hex dump
    bool traceAll = false;    // the record stream in full rather than one summary per block
    uint32_t timeoutMs = UpdateProtocol::kTransferTimeoutMs;
    Language language = Language::English;
    bool timeoutGiven = false;  // --timeout then also bounds connect, commands, identification
};

// Everything it prints goes through `output`.
int RunFlash(const FlashOptions& options, COutputQueue& output);

}  // namespace zorflash
