#pragma once

namespace zorflash {

// Numbered texts of zorflash-cli's own (resources/strings), English and Japanese.
constexpr unsigned kIdsWaitingOf = 61470;          // elapsed, allowed
constexpr unsigned kIdsWaitingEach = 61471;        // elapsed, allowed for each USB instrument
constexpr unsigned kIdsProbeUsed = 61477;
constexpr unsigned kIdsProbeOtherModel = 61478;    // the reply's model, the chosen model
constexpr unsigned kIdsNextStep = 61479;           // what to do, from the outcome table

}  // namespace zorflash
