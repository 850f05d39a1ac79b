#pragma once

#include <cstdint>

namespace zorflash {

// The engine's opening operations answer true/false and leave the reason here, the way
// the instrument tools have always done it. The value is per thread, so two updates on
// two threads never see each other's reasons.

constexpr uint32_t kErrorSuccess = 0;
constexpr uint32_t kErrorTimeout = 258;            // a bounded wait ran out
constexpr uint32_t kErrorInvalidArgument = 10022;  // bad address, port or host name
constexpr uint32_t kErrorApplicationBit = 0x20000000;  // marks codes that are ours

uint32_t GetLastError();
void SetLastError(uint32_t code);

// Text for a code as an operator should read it ("Connection refused", "timed out").
const char* DescribeError(uint32_t code);

}  // namespace zorflash
