#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zorflash {

// The one reading of decimal text in the programs (volume numbers, typed ports, ports and
// octets on the command line): leading white space, an optional sign, then digits up to
// the first other character. Callers that want digits only check the first character and
// the end themselves.
struct DecimalPrefix {
    int64_t value = 0;  // 0 when there are no digits; saturates instead of overflowing
    size_t digits = 0;  // how many digits were read
    size_t end = 0;     // index behind the last character read
};

// Far beyond every number the programs accept, so saturating never changes a decision.
constexpr int64_t kDecimalSaturation = int64_t{1} << 40;

DecimalPrefix ReadDecimalPrefix(std::string_view text);

}  // namespace zorflash
