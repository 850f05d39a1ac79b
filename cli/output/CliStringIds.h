#pragma once

namespace zorflash {

// Numbered texts of zorflash-cli's own (resources/strings), English and Japanese.
constexpr unsigned kIdsWaitingOf = 61470;          // elapsed, allowed
constexpr unsigned kIdsWaitingEach = 61471;        // elapsed, allowed for each USB instrument
constexpr unsigned kIdsNamingRule = 61472;         // volume 1's name, the file given
constexpr unsigned kIdsVolumeTwoLater = 61473;     // volume 2's name
constexpr unsigned kIdsVolumeTwoUnusable = 61474;  // volume 2's name, what is wrong with it
constexpr unsigned kIdsHeaderOfOther = 61475;      // kind, the file's model, the chosen model
constexpr unsigned kIdsHeaderOfNone = 61476;       // the chosen model
constexpr unsigned kIdsProbeUsed = 61477;
constexpr unsigned kIdsProbeOtherModel = 61478;    // the reply's model, the chosen model
constexpr unsigned kIdsNextStep = 61479;           // what to do, from the outcome table

}  // namespace zorflash
