#pragma once

#include <cstdint>

namespace zorflash {

class CAbortSignal;

// The USB access library: four functions the link's USB channel is written against, plus
// two of ours. An instrument on USB is a character device: a CDC-ACM serial port (put in
// raw mode) or a USBTMC node. Candidates come from ZORFLASH_USB_DEVICES (paths or glob
// patterns separated by ':', in the order given, each glob's matches sorted; set but
// empty means none) or, when it is unset, /dev/ttyACM*:/dev/usbtmc*.
//
// Results: non-zero is success; 0 is failure with the reason in the last-error value
// (258 a time-out, kErrorCancelled the handle's abort signal was triggered,
// kErrorBadHandle an unknown handle, kErrorDeviceGone a device that went away, otherwise
// the platform's code from the system call).
//
// On Windows an instrument is a COM port (\\.\COMn, raw 8N1), the list separator is ';'
// and the default list is every COM port present, in the order of their numbers.
// One table of opened devices and one walk of the list serve both systems (Vavuziz.cpp);
// CUsbDevice opens and moves bytes for the system the build is for. The table is guarded
// by a mutex: jobs on several threads may use the library at once, each with its own
// handles.

// Opens the first candidate that is not open in this process already and answers its
// handle, or -1 when none is left. A candidate that fails to open, or that another
// process holds locked, is skipped. Instruments that stay open are thus passed over by
// the next call, and once every handle is closed again the walk starts over.
int VavUZIz_OpenDevice();
int VavUZIz_CloseDevice(int handle);
// Writes all length bytes within timeout milliseconds; *written holds the count moved.
int VavUZIz_WriteDevice(int handle, const uint8_t* data, uint32_t length, uint32_t* written, uint32_t timeout);
// Reads at least one and at most length bytes within timeout milliseconds.
int VavUZIz_ReadDevice(int handle, uint8_t* buffer, uint32_t length, uint32_t* read, uint32_t timeout);

// Ours: opens the candidate at `path` (one of UsbCandidatePaths()) as VavUZIz_OpenDevice
// would, or answers -1: the reason is kErrorDeviceBusy when this process holds the device
// open already (under this name or another), else the platform's code. Lets each search
// walk the list by itself, so searches on several threads need not take turns.
int VavUZIz_OpenDevicePath(const char* path);
// Ours: every later read and write of handle also ends, with kErrorCancelled, as soon as
// the signal is triggered (borrowed, it must outlive the handle); null removes it.
int VavUZIz_SetAbortSignal(int handle, const CAbortSignal* signal);
// Ours: the path the handle was opened at, valid until the handle is closed; null for an
// unknown handle.
const char* VavUZIz_DevicePath(int handle);

}  // namespace zorflash
