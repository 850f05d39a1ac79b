#include "usb/UsbDevice.h"

#include "platform/AbortSignal.h"
#include "platform/Deadline.h"
#include "platform/LastError.h"
#include "platform/win32/WideText.h"
#include "usb/UsbCandidates.h"
#include "usb/win32/ComPortName.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>

namespace zorflash {

// The Windows back end: an instrument is a COM port, opened for overlapped I/O so that
// every read and write can be waited for together with the abort signal. The port's own
// time-outs bound each transfer as well, and a transfer still under way when its wait
// ends is cancelled and waited for, so it never completes into memory the caller has
// taken back.

const uint32_t CUsbDevice::kNoCandidate = ERROR_FILE_NOT_FOUND;

namespace {

// A wait on the port's completion may outlast the port's own time-out by this much
// before the transfer is cancelled: the driver's time-out is the one that should end it.
constexpr DWORD kCompletionGraceMs = 200;

class CEvent {
public:
    CEvent() : m_handle(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~CEvent()
    {
        if (m_handle)
            CloseHandle(m_handle);
    }
    CEvent(const CEvent&) = delete;
    CEvent& operator=(const CEvent&) = delete;
    HANDLE Get() const { return m_handle; }

private:
    HANDLE m_handle;
};

}  // namespace

struct CUsbDevice::Port {
    HANDLE handle = INVALID_HANDLE_VALUE;
    DCB saved{};  // the port's settings before we made it raw, put back on close
    bool restore = false;
    CEvent readDone;
    CEvent writeDone;
    std::atomic<const CAbortSignal*> abort{nullptr};

    ~Port()
    {
        if (handle != INVALID_HANDLE_VALUE) {
            if (restore)
                SetCommState(handle, &saved);
            CloseHandle(handle);
        }
    }
};

namespace {

using Port = CUsbDevice::Port;

bool MakeRaw(Port& port)
{
    DCB mode{};
    mode.DCBlength = sizeof mode;
    if (!GetCommState(port.handle, &mode))
        return false;  // not a serial port
    port.saved = mode;
    port.restore = true;
    mode.BaudRate = CBR_115200;  // a CDC-ACM instrument ignores it; a real UART gets a common rate
    mode.fBinary = TRUE;
    mode.fParity = FALSE;
    mode.fOutxCtsFlow = FALSE;
    mode.fOutxDsrFlow = FALSE;
    mode.fDtrControl = DTR_CONTROL_ENABLE;
    mode.fDsrSensitivity = FALSE;
    mode.fOutX = FALSE;
    mode.fInX = FALSE;
    mode.fErrorChar = FALSE;
    mode.fNull = FALSE;
    mode.fRtsControl = RTS_CONTROL_ENABLE;
    mode.fAbortOnError = FALSE;
    mode.ByteSize = 8;
    mode.Parity = NOPARITY;
    mode.StopBits = ONESTOPBIT;
    if (!SetCommState(port.handle, &mode))
        return false;
    PurgeComm(port.handle, PURGE_RXCLEAR | PURGE_TXCLEAR);
    return true;
}

bool Aborted(const Port& port)
{
    const CAbortSignal* abort = port.abort.load();
    return abort && abort->IsTriggered();
}

// Waits for the overlapped transfer on its event, the abort signal and the deadline (plus
// the grace); answers 0 when it completed, with the count moved.
uint32_t Complete(Port& port, OVERLAPPED& operation, DeadlineClock::time_point deadline, DWORD& moved)
{
    const CAbortSignal* abort = port.abort.load();
    const HANDLE abortEvent =
        abort && abort->WaitHandle() != kNoWaitHandle ? reinterpret_cast<HANDLE>(abort->WaitHandle()) : nullptr;
    HANDLE handles[2] = {operation.hEvent, abortEvent};
    const DWORD left = static_cast<DWORD>(MillisecondsLeft(deadline)) + kCompletionGraceMs;
    const DWORD waited = WaitForMultipleObjects(abortEvent ? 2 : 1, handles, FALSE, left);
    uint32_t error = 0;
    if (waited == WAIT_OBJECT_0 + 1)
        error = kErrorCancelled;
    else if (waited == WAIT_TIMEOUT)
        error = kErrorTimeout;
    else if (waited != WAIT_OBJECT_0)
        error = GetLastError();
    if (error != 0)
        CancelIoEx(port.handle, &operation);
    // Waits for the end of a cancelled transfer too: the buffer is the caller's again
    // only after this.
    if (!GetOverlappedResult(port.handle, &operation, &moved, TRUE) && error == 0) {
        error = GetLastError();
        if (error == ERROR_OPERATION_ABORTED)
            error = kErrorDeviceGone;
    }
    return error;
}

void SetTimeouts(const Port& port, DWORD readMs, DWORD writeMs)
{
    // Reads: back at once with what has come; if nothing has, with the first byte or at
    // readMs. Writes: all bytes, or the time-out.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
    timeouts.ReadTotalTimeoutConstant = std::max<DWORD>(readMs, 1);
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = std::max<DWORD>(writeMs, 1);
    SetCommTimeouts(port.handle, &timeouts);
}

}  // namespace

CUsbDevice::CUsbDevice() = default;
CUsbDevice::~CUsbDevice() = default;

bool CUsbDevice::Open(const std::string& path)
{
    // Anything else named in the list (a file, another device) is never opened at all.
    if (ComPortNumber(path) < 0) {
        SetLastError(ERROR_BAD_DEVICE);
        return false;
    }
    const std::wstring wide = WideFromUtf8(path);
    if (wide.empty()) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    // No sharing: another program talking to the same instrument would mix its bytes
    // with ours (it gets ERROR_ACCESS_DENIED, as we do while it holds the port).
    auto port = std::make_unique<Port>();
    port->handle = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_FLAG_OVERLAPPED, nullptr);
    if (port->handle == INVALID_HANDLE_VALUE) {
        if (GetLastError() == 0)
            SetLastError(ERROR_GEN_FAILURE);
        return false;
    }
    if (!port->readDone.Get() || !port->writeDone.Get()) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    // Only a character device that takes serial settings is an instrument; a file or a
    // pipe named in the list is never written to.
    if (GetFileType(port->handle) != FILE_TYPE_CHAR || !MakeRaw(*port)) {
        SetLastError(ERROR_BAD_DEVICE);
        return false;
    }
    m_port = std::move(port);
    m_path = path;
    m_key = UsbDeviceKey(path);
    return true;
}

uint32_t CUsbDevice::Write(const uint8_t* data, uint32_t length, uint32_t& written, uint32_t timeout)
{
    written = 0;
    Port* const port = m_port.get();
    if (Aborted(*port))
        return kErrorCancelled;
    const auto deadline = DeadlineAfter(timeout);
    uint32_t done = 0;
    uint32_t error = 0;
    while (done < length && error == 0) {
        const DWORD left = static_cast<DWORD>(MillisecondsLeft(deadline));
        if (left == 0) {
            error = kErrorTimeout;
            break;
        }
        SetTimeouts(*port, left, left);
        OVERLAPPED operation{};
        operation.hEvent = port->writeDone.Get();
        ResetEvent(operation.hEvent);
        DWORD moved = 0;
        if (!WriteFile(port->handle, data + done, length - done, &moved, &operation)) {
            if (GetLastError() != ERROR_IO_PENDING) {
                error = GetLastError();
                break;
            }
            error = Complete(*port, operation, deadline, moved);
        } else {
            GetOverlappedResult(port->handle, &operation, &moved, TRUE);
        }
        done += moved;
        // The port's write time-out ran out with bytes left.
        if (error == 0 && moved == 0 && DeadlineClock::now() >= deadline)
            error = kErrorTimeout;
    }
    written = done;
    return error;
}

uint32_t CUsbDevice::Read(uint8_t* buffer, uint32_t length, uint32_t& read, uint32_t timeout)
{
    read = 0;
    Port* const port = m_port.get();
    if (Aborted(*port))
        return kErrorCancelled;
    if (length == 0)
        return 0;
    const auto deadline = DeadlineAfter(timeout);
    for (;;) {
        const DWORD left = static_cast<DWORD>(MillisecondsLeft(deadline));
        if (left == 0)
            return kErrorTimeout;
        SetTimeouts(*port, left, left);
        OVERLAPPED operation{};
        operation.hEvent = port->readDone.Get();
        ResetEvent(operation.hEvent);
        DWORD moved = 0;
        uint32_t error = 0;
        if (!ReadFile(port->handle, buffer, length, &moved, &operation)) {
            if (GetLastError() != ERROR_IO_PENDING)
                return GetLastError();
            error = Complete(*port, operation, deadline, moved);
        } else {
            GetOverlappedResult(port->handle, &operation, &moved, TRUE);
        }
        if (moved > 0) {
            read = moved;
            return 0;
        }
        if (error != 0)
            return error;
        if (Aborted(*port))
            return kErrorCancelled;
        // Nothing came within the port's time-out, or a driver that answers at once with
        // nothing: try again until the deadline, without spinning.
        if (DeadlineClock::now() < deadline)
            Sleep(std::min<DWORD>(10, static_cast<DWORD>(MillisecondsLeft(deadline))));
    }
}

void CUsbDevice::SetAbortSignal(const CAbortSignal* signal)
{
    m_port->abort.store(signal);
}

}  // namespace zorflash
