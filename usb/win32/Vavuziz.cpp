#include "usb/Vavuziz.h"

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
#include <cctype>
#include <climits>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace zorflash {

// The Windows back end: an instrument is a COM port, opened for overlapped I/O so that
// every read and write can be waited for together with the abort signal. The port's own
// time-outs bound each transfer as well, and a transfer still under way when its wait
// ends is cancelled and waited for, so it never completes into memory the caller has
// taken back.

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

struct OpenedPort {
    HANDLE handle = INVALID_HANDLE_VALUE;
    std::string path;
    std::string key;  // the port's name in capitals: COM5 and \\.\com5 are one port
    DCB saved{};      // the port's settings before we made it raw, put back on close
    bool restore = false;
    CEvent readDone;
    CEvent writeDone;
    std::atomic<const CAbortSignal*> abort{nullptr};

    ~OpenedPort()
    {
        if (handle != INVALID_HANDLE_VALUE) {
            if (restore)
                SetCommState(handle, &saved);
            CloseHandle(handle);
        }
    }
};

// The devices this process holds open, as on POSIX: transfers copy the entry's pointer
// under the lock and then work without it.
std::mutex g_lock;
std::map<int, std::shared_ptr<OpenedPort>> g_ports;
int g_nextHandle = 1;

std::shared_ptr<OpenedPort> Find(int handle)
{
    std::lock_guard<std::mutex> guard(g_lock);
    const auto it = g_ports.find(handle);
    return it == g_ports.end() ? nullptr : it->second;
}

int Fail(uint32_t code)
{
    SetLastError(code);
    return 0;
}

std::string KeyOf(const std::string& path)
{
    std::string key = path.rfind("\\\\.\\", 0) == 0 ? path.substr(4) : path;
    for (char& c : key)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return key;
}

// Raw 8N1: every byte value passes unchanged both ways, with no flow control, no
// character replacement and no stop on an error. Bytes that waited from before the open
// are dropped: they are no answer to our query.
bool MakeRaw(OpenedPort& port)
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

// Opens one candidate; null, with the last error telling why, when it cannot be had.
std::shared_ptr<OpenedPort> OpenCandidate(const std::string& path)
{
    // Anything else named in the list (a file, another device) is never opened at all.
    if (ComPortNumber(path) < 0) {
        SetLastError(ERROR_BAD_DEVICE);
        return nullptr;
    }
    const std::wstring wide = WideFromUtf8(path);
    if (wide.empty()) {
        SetLastError(ERROR_INVALID_NAME);
        return nullptr;
    }
    // No sharing: another program talking to the same instrument would mix its bytes
    // with ours (it gets ERROR_ACCESS_DENIED, as we do while it holds the port).
    const HANDLE handle = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return nullptr;
    auto port = std::make_shared<OpenedPort>();
    port->handle = handle;
    port->path = path;
    port->key = KeyOf(path);
    if (!port->readDone.Get() || !port->writeDone.Get()) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    // Only a character device that takes serial settings is an instrument; a file or a
    // pipe named in the list is never written to.
    if (GetFileType(handle) != FILE_TYPE_CHAR || !MakeRaw(*port)) {
        SetLastError(ERROR_BAD_DEVICE);
        return nullptr;
    }
    return port;
}

bool Aborted(const OpenedPort& port)
{
    const CAbortSignal* abort = port.abort.load();
    return abort && abort->IsTriggered();
}

// Waits for the overlapped transfer on its event, the abort signal and the deadline (plus
// the grace); answers 0 when it completed, with the count moved.
uint32_t Complete(OpenedPort& port, OVERLAPPED& operation, DeadlineClock::time_point deadline, DWORD& moved)
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

void SetTimeouts(const OpenedPort& port, DWORD readMs, DWORD writeMs)
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

namespace {

enum class Opening { Opened, Held, Failed };

// Opens the candidate at path unless this process holds the same port already; with
// g_lock held. Failed leaves the reason in the last-error value.
Opening OpenUnlessHeld(const std::string& path, int& handle)
{
    const std::string key = KeyOf(path);
    const bool held = std::any_of(g_ports.begin(), g_ports.end(),
                                  [&](const auto& entry) { return entry.second->key == key; });
    if (held)
        return Opening::Held;
    SetLastError(0);
    std::shared_ptr<OpenedPort> port = OpenCandidate(path);
    if (!port) {
        if (GetLastError() == 0)
            SetLastError(ERROR_GEN_FAILURE);
        return Opening::Failed;
    }
    while (g_ports.count(g_nextHandle) != 0 || g_nextHandle <= 0)
        g_nextHandle = g_nextHandle >= INT_MAX - 1 ? 1 : g_nextHandle + 1;
    handle = g_nextHandle++;
    g_ports.emplace(handle, std::move(port));
    return Opening::Opened;
}

}  // namespace

int VavUZIz_OpenDevice()
{
    std::lock_guard<std::mutex> guard(g_lock);
    uint32_t lastReason = ERROR_FILE_NOT_FOUND;
    for (const std::string& path : UsbCandidatePaths()) {
        int handle = -1;
        const Opening opening = OpenUnlessHeld(path, handle);
        if (opening == Opening::Opened) {
            SetLastError(kErrorSuccess);
            return handle;
        }
        if (opening == Opening::Failed)
            lastReason = GetLastError();
    }
    SetLastError(lastReason);
    return -1;
}

int VavUZIz_OpenDevicePath(const char* path)
{
    if (!path) {
        SetLastError(kErrorInvalidParameter);
        return -1;
    }
    std::lock_guard<std::mutex> guard(g_lock);
    int handle = -1;
    const Opening opening = OpenUnlessHeld(path, handle);
    if (opening == Opening::Opened) {
        SetLastError(kErrorSuccess);
        return handle;
    }
    if (opening == Opening::Held)
        SetLastError(kErrorDeviceBusy);
    return -1;
}

int VavUZIz_CloseDevice(int handle)
{
    std::shared_ptr<OpenedPort> port;
    {
        std::lock_guard<std::mutex> guard(g_lock);
        const auto it = g_ports.find(handle);
        if (it == g_ports.end())
            return Fail(kErrorBadHandle);
        port = std::move(it->second);
        g_ports.erase(it);
    }
    // The port closes here, or when a transfer still under way on it has ended.
    return 1;
}

int VavUZIz_WriteDevice(int handle, const uint8_t* data, uint32_t length, uint32_t* written, uint32_t timeout)
{
    if (written)
        *written = 0;
    const std::shared_ptr<OpenedPort> port = Find(handle);
    if (!port)
        return Fail(kErrorBadHandle);
    if (Aborted(*port))
        return Fail(kErrorCancelled);
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
    if (written)
        *written = done;
    return error == 0 ? 1 : Fail(error);
}

int VavUZIz_ReadDevice(int handle, uint8_t* buffer, uint32_t length, uint32_t* read, uint32_t timeout)
{
    if (read)
        *read = 0;
    const std::shared_ptr<OpenedPort> port = Find(handle);
    if (!port)
        return Fail(kErrorBadHandle);
    if (Aborted(*port))
        return Fail(kErrorCancelled);
    if (length == 0)
        return 1;
    const auto deadline = DeadlineAfter(timeout);
    for (;;) {
        const DWORD left = static_cast<DWORD>(MillisecondsLeft(deadline));
        if (left == 0)
            return Fail(kErrorTimeout);
        SetTimeouts(*port, left, left);
        OVERLAPPED operation{};
        operation.hEvent = port->readDone.Get();
        ResetEvent(operation.hEvent);
        DWORD moved = 0;
        uint32_t error = 0;
        if (!ReadFile(port->handle, buffer, length, &moved, &operation)) {
            if (GetLastError() != ERROR_IO_PENDING)
                return Fail(GetLastError());
            error = Complete(*port, operation, deadline, moved);
        } else {
            GetOverlappedResult(port->handle, &operation, &moved, TRUE);
        }
        if (moved > 0) {
            if (read)
                *read = moved;
            return 1;
        }
        if (error != 0)
            return Fail(error);
        if (Aborted(*port))
            return Fail(kErrorCancelled);
        // Nothing came within the port's time-out, or a driver that answers at once with
        // nothing: try again until the deadline, without spinning.
        if (DeadlineClock::now() < deadline)
            Sleep(std::min<DWORD>(10, static_cast<DWORD>(MillisecondsLeft(deadline))));
    }
}

int VavUZIz_SetAbortSignal(int handle, const CAbortSignal* signal)
{
    const std::shared_ptr<OpenedPort> port = Find(handle);
    if (!port)
        return Fail(kErrorBadHandle);
    port->abort.store(signal);
    return 1;
}

const char* VavUZIz_DevicePath(int handle)
{
    const std::shared_ptr<OpenedPort> port = Find(handle);
    return port ? port->path.c_str() : nullptr;
}

}  // namespace zorflash
