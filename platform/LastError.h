#pragma once

#include <cerrno>
#include <cstdint>

// The engine's opening operations answer true/false and leave the reason here, the way
// the instrument tools have always done it. The value is per thread, so two updates on
// two threads never see each other's reasons.
//
// On Windows it is the thread's own Win32 last-error value, which Winsock shares, so a
// code the engine leaves there and one a system call left are read the same way. On
// POSIX it is a thread-local value of ours holding errno numbers.

#ifdef _WIN32
extern "C" __declspec(dllimport) unsigned long __stdcall GetLastError(void);
extern "C" __declspec(dllimport) void __stdcall SetLastError(unsigned long code);
#endif

namespace zorflash {

#ifdef _WIN32
using ::GetLastError;
using ::SetLastError;
#else
uint32_t GetLastError();
void SetLastError(uint32_t code);
#endif

constexpr uint32_t kErrorSuccess = 0;
constexpr uint32_t kErrorTimeout = 258;            // a bounded wait ran out
constexpr uint32_t kErrorInvalidArgument = 10022;  // bad address, port or host name
constexpr uint32_t kErrorApplicationBit = 0x20000000;  // marks codes that are ours

// Reasons the engine names itself, in the platform's own numbers, so that each reads
// as the system's text for it.
#ifdef _WIN32
constexpr uint32_t kErrorCancelled = 1223;          // ERROR_CANCELLED: the abort signal
constexpr uint32_t kErrorBadHandle = 6;             // ERROR_INVALID_HANDLE
constexpr uint32_t kErrorInvalidParameter = 87;     // ERROR_INVALID_PARAMETER
constexpr uint32_t kErrorNoMemory = 8;              // ERROR_NOT_ENOUGH_MEMORY
constexpr uint32_t kErrorDeviceGone = 1167;         // ERROR_DEVICE_NOT_CONNECTED
constexpr uint32_t kErrorConnectionReset = 10054;   // WSAECONNRESET
constexpr uint32_t kErrorConnectTimedOut = 10060;   // WSAETIMEDOUT
constexpr uint32_t kErrorFileNotFound = 2;          // ERROR_FILE_NOT_FOUND
constexpr uint32_t kErrorNotAFile = 1;              // ERROR_INVALID_FUNCTION: no disk file
constexpr uint32_t kErrorDeviceBusy = 170;          // ERROR_BUSY: held open already
#else
constexpr uint32_t kErrorCancelled = ECANCELED;
constexpr uint32_t kErrorBadHandle = EBADF;
constexpr uint32_t kErrorInvalidParameter = EINVAL;
constexpr uint32_t kErrorNoMemory = ENOMEM;
constexpr uint32_t kErrorDeviceGone = EIO;
constexpr uint32_t kErrorConnectionReset = ECONNRESET;
constexpr uint32_t kErrorConnectTimedOut = ETIMEDOUT;
constexpr uint32_t kErrorFileNotFound = ENOENT;
constexpr uint32_t kErrorNotAFile = EINVAL;         // a directory, FIFO or device
constexpr uint32_t kErrorDeviceBusy = EBUSY;        // held open already
#endif

// Text for a code as an operator should read it ("Connection refused", "timed out").
const char* DescribeError(uint32_t code);
// The system's own text for one of its codes (errno, Win32 or Winsock), without a
// trailing line break.
const char* SystemErrorText(uint32_t code);

}  // namespace zorflash
