#include "link/UsbChannel.h"

#include "platform/LastError.h"

// Placeholder until the USB device layer lands: no instrument is ever found.
CUsbChannel::CUsbChannel() = default;
CUsbChannel::~CUsbChannel() = default;
bool CUsbChannel::Open(int32_t) { SetLastError(kErrorNoInstrument); return false; }
void CUsbChannel::Close() {}
uint32_t CUsbChannel::Send(const uint8_t*, uint32_t& length, uint32_t) { length = 0; return 9; }
uint32_t CUsbChannel::SendExact(const uint8_t*, uint32_t& length, uint32_t) { length = 0; return 9; }
uint32_t CUsbChannel::Receive(uint8_t*, uint32_t& length, uint32_t) { length = 0; return 9; }
uint32_t CUsbChannel::ReadLine(char*, uint32_t& length, uint32_t) { length = 0; return 9; }
void CUsbChannel::SetAbortSignal(CAbortSignal* signal) { m_abort = signal; }
bool CUsbChannel::ParseDeviceNumber(const char*, int32_t&) { return false; }
std::vector<UsbInstrument> CUsbChannel::Probe(const char*, CAbortSignal*) { return {}; }
