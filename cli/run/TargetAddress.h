#pragma once

#include "resources/strings/Language.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace zorflash {

// "A.B.C.D[:PORT]" from the command line: four decimal octets 0..255 and a decimal port
// 1..65535 (8023 when left out). What no instrument can be reached at is refused here,
// before any link is made: the unspecified address 0.0.0.0 (it reaches this computer),
// the broadcast address and multicast addresses (224.0.0.0 to 239.255.255.255). The error
// says what is wrong with the text and quotes it as typed; the caller escapes it for the
// terminal. The error is worded in `language`.
bool ParseTargetAddress(const std::string& text, uint32_t& address, int32_t& port, std::string& error,
                        Language language = Language::English);

// "A.B.C.D[-E.F.G.H][:PORT[-PORT]]", as the simulator serves a fleet: every address and
// port of the ranges, addresses outer, in order, each checked as above. More than `limit`
// is refused before anything is expanded.
bool ParseTargetRange(const std::string& text, std::size_t limit,
                      std::vector<std::pair<uint32_t, int32_t>>& targets, std::string& error,
                      Language language = Language::English);

}  // namespace zorflash
