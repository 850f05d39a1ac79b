#include "usb/Vavuziz.h"

#include "platform/LastError.h"
#include "usb/UsbCandidates.h"
#include "usb/UsbDevice.h"

#include <algorithm>
#include <climits>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

namespace zorflash {

// The device table and the candidate walk, the same on every system; CUsbDevice does
// the system's part, the opening and the transfers of one device.

namespace {

// The one piece of shared state of the engine: the devices this process holds open.
// Reads and writes copy the entry's pointer under the lock and then work without it, so
// a slow instrument on one thread never holds up another thread's open or close, and a
// device closed during a transfer goes away only when that transfer has ended.
std::mutex g_lock;
std::map<int, std::shared_ptr<CUsbDevice>> g_devices;
int g_nextHandle = 1;

std::shared_ptr<CUsbDevice> Find(int handle)
{
    std::lock_guard<std::mutex> guard(g_lock);
    const auto it = g_devices.find(handle);
    return it == g_devices.end() ? nullptr : it->second;
}

int Fail(uint32_t code)
{
    SetLastError(code);
    return 0;
}

bool HeldAlready(const std::string& key)
{
    return std::any_of(g_devices.begin(), g_devices.end(),
                       [&](const auto& entry) { return entry.second->Key() == key; });
}

enum class Opening { Opened, Held, Failed };

// Opens the candidate at path unless this process holds the same device already; with
// g_lock held. A held device is not even opened: opening a terminal again would drop the
// bytes waiting for its holder. Failed leaves the reason in the last-error value.
Opening OpenUnlessHeld(const std::string& path, int& handle)
{
    if (HeldAlready(UsbDeviceKey(path)))
        return Opening::Held;
    auto device = std::make_shared<CUsbDevice>();
    if (!device->Open(path))
        return Opening::Failed;
    // The name may have come to mean another device between the look and the open.
    if (HeldAlready(device->Key()))
        return Opening::Held;
    while (g_devices.count(g_nextHandle) != 0 || g_nextHandle <= 0)
        g_nextHandle = g_nextHandle >= INT_MAX - 1 ? 1 : g_nextHandle + 1;
    handle = g_nextHandle++;
    g_devices.emplace(handle, std::move(device));
    return Opening::Opened;
}

}  // namespace

int VavUZIz_OpenDevice()
{
    std::lock_guard<std::mutex> guard(g_lock);
    uint32_t lastReason = CUsbDevice::kNoCandidate;
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
    std::shared_ptr<CUsbDevice> device;
    {
        std::lock_guard<std::mutex> guard(g_lock);
        const auto it = g_devices.find(handle);
        if (it == g_devices.end())
            return Fail(kErrorBadHandle);
        device = std::move(it->second);
        g_devices.erase(it);
    }
    // The device closes here, or when a transfer still under way on it has ended.
    return 1;
}

int VavUZIz_WriteDevice(int handle, const uint8_t* data, uint32_t length, uint32_t* written, uint32_t timeout)
{
    if (written)
        *written = 0;
    const std::shared_ptr<CUsbDevice> device = Find(handle);
    if (!device)
        return Fail(kErrorBadHandle);
    uint32_t done = 0;
    const uint32_t error = device->Write(data, length, done, timeout);
    if (written)
        *written = done;
    return error == 0 ? 1 : Fail(error);
}

int VavUZIz_ReadDevice(int handle, uint8_t* buffer, uint32_t length, uint32_t* read, uint32_t timeout)
{
    if (read)
        *read = 0;
    const std::shared_ptr<CUsbDevice> device = Find(handle);
    if (!device)
        return Fail(kErrorBadHandle);
    uint32_t done = 0;
    const uint32_t error = device->Read(buffer, length, done, timeout);
    if (read)
        *read = done;
    return error == 0 ? 1 : Fail(error);
}

int VavUZIz_SetAbortSignal(int handle, const CAbortSignal* signal)
{
    const std::shared_ptr<CUsbDevice> device = Find(handle);
    if (!device)
        return Fail(kErrorBadHandle);
    device->SetAbortSignal(signal);
    return 1;
}

const char* VavUZIz_DevicePath(int handle)
{
    const std::shared_ptr<CUsbDevice> device = Find(handle);
    return device ? device->Path().c_str() : nullptr;
}

}  // namespace zorflash
