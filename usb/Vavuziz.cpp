#include "usb/Vavuziz.h"

#include "platform/AbortSignal.h"
#include "platform/LastError.h"
#include "platform/PollWait.h"
#include "usb/UsbCandidates.h"

#include <fcntl.h>
#include <linux/usb/tmc.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

namespace zorflash {

namespace {

using Clock = std::chrono::steady_clock;

// What makes two paths the same instrument: the device number of a character device
// (a /dev/serial/by-id link and /dev/ttyACM0 are one port), else the file's identity.
using DeviceKey = std::pair<uint64_t, uint64_t>;

DeviceKey KeyOf(const struct stat& info)
{
    if (S_ISCHR(info.st_mode))
        return {UINT64_MAX, info.st_rdev};
    return {info.st_dev, info.st_ino};
}

struct OpenedDevice {
    int fd = -1;
    std::string path;
    DeviceKey key;
    bool usbtmc = false;  // its driver has no poll for reads: its own time-out bounds them
    bool restoreMode = false;
    termios savedMode{};  // a terminal's mode before we made it raw, given back at close
    std::atomic<int> abortFd{-1};

    ~OpenedDevice()
    {
        if (fd < 0)
            return;
        // Whatever ended the use (close, a failed open, an interrupted run), a terminal
        // goes back to the mode it had: it may be someone's console listed by mistake.
        // TCSANOW: waiting for output to drain could hang on a device that went away.
        if (restoreMode)
            tcsetattr(fd, TCSANOW, &savedMode);
        close(fd);  // also drops the flock
    }
};

// The one piece of shared state of the engine: the devices this process holds open.
// Reads and writes copy the entry's pointer under the lock and then work without it, so
// a slow instrument on one thread never holds up another thread's open or close.
std::mutex g_lock;
std::map<int, std::shared_ptr<OpenedDevice>> g_devices;
int g_nextHandle = 1;

std::shared_ptr<OpenedDevice> Find(int handle)
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

// Puts a serial port in raw mode: every byte value passes unchanged both ways, with no
// echo, no line editing, no CR/LF translation, no signals and no flow control. Bytes
// that waited from before the open are dropped: they are no answer to our query.
bool MakeRaw(OpenedDevice& device)
{
    const int fd = device.fd;
    termios mode{};
    if (tcgetattr(fd, &mode) != 0)
        return false;
    device.savedMode = mode;
    device.restoreMode = true;
    cfmakeraw(&mode);
    mode.c_cflag |= CLOCAL | CREAD;
    mode.c_cc[VMIN] = 1;
    mode.c_cc[VTIME] = 0;
    if (tcsetattr(fd, TCSANOW, &mode) != 0)
        return false;
    tcflush(fd, TCIFLUSH);
    return true;
}

// Opens one candidate; null, with errno telling why, when it cannot be had.
std::shared_ptr<OpenedDevice> OpenCandidate(const std::string& path)
{
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    auto device = std::make_shared<OpenedDevice>();
    device->fd = fd;
    device->path = path;
    struct stat info{};
    if (fstat(fd, &info) != 0)
        return nullptr;
    // Only a character device can be an instrument. A regular file or anything else in
    // the list (a glob that matched the update file) is never written to.
    if (!S_ISCHR(info.st_mode)) {
        errno = ENOTTY;
        return nullptr;
    }
    device->key = KeyOf(info);
    // Another process (a second zorflash) talking to the same instrument would mix its
    // bytes with ours.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0)
        return nullptr;
    if (isatty(fd)) {
        if (!MakeRaw(*device))
            return nullptr;
    } else {
        uint32_t driverTimeout = 0;
        device->usbtmc = ioctl(fd, USBTMC_IOCTL_GET_TIMEOUT, &driverTimeout) == 0;
        if (device->usbtmc)
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    }
    return device;
}

bool Aborted(const OpenedDevice& device)
{
    const int abortFd = device.abortFd.load();
    if (abortFd < 0)
        return false;
    pollfd p{abortFd, POLLIN, 0};
    return poll(&p, 1, 0) == 1;
}

// A USBTMC transfer is bounded by the driver's own time-out (100 ms at least).
void SetDriverTimeout(const OpenedDevice& device, uint32_t timeout)
{
    uint32_t driverTimeout = std::max<uint32_t>(timeout, 100);
    ioctl(device.fd, USBTMC_IOCTL_SET_TIMEOUT, &driverTimeout);
}

}  // namespace

namespace {

enum class Opening { Opened, Held, Failed };

// Opens the candidate at path unless this process holds the same device already; with
// g_lock held. Failed leaves the reason in errno.
Opening OpenUnlessHeld(const std::string& path, int& handle)
{
    struct stat info{};
    if (stat(path.c_str(), &info) != 0)
        return Opening::Failed;
    const DeviceKey key = KeyOf(info);
    const bool held = std::any_of(g_devices.begin(), g_devices.end(),
                                  [&](const auto& entry) { return entry.second->key == key; });
    if (held)
        return Opening::Held;
    errno = 0;
    std::shared_ptr<OpenedDevice> device = OpenCandidate(path);
    if (!device) {
        if (errno == 0)
            errno = EIO;
        return Opening::Failed;
    }
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
    uint32_t lastReason = ENODEV;
    for (const std::string& path : UsbCandidatePaths()) {
        int handle = -1;
        const Opening opening = OpenUnlessHeld(path, handle);
        if (opening == Opening::Opened) {
            SetLastError(kErrorSuccess);
            return handle;
        }
        if (opening == Opening::Failed)
            lastReason = static_cast<uint32_t>(errno);
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
    SetLastError(opening == Opening::Held ? kErrorDeviceBusy : static_cast<uint32_t>(errno));
    return -1;
}

int VavUZIz_CloseDevice(int handle)
{
    std::shared_ptr<OpenedDevice> device;
    {
        std::lock_guard<std::mutex> guard(g_lock);
        const auto it = g_devices.find(handle);
        if (it == g_devices.end())
            return Fail(EBADF);
        device = std::move(it->second);
        g_devices.erase(it);
    }
    // The descriptor closes here, or when a transfer still under way on it has ended.
    return 1;
}

int VavUZIz_WriteDevice(int handle, const uint8_t* data, uint32_t length, uint32_t* written, uint32_t timeout)
{
    uint32_t done = 0;
    if (written)
        *written = 0;
    const std::shared_ptr<OpenedDevice> device = Find(handle);
    if (!device)
        return Fail(EBADF);
    if (Aborted(*device))
        return Fail(ECANCELED);
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout);
    if (device->usbtmc)
        SetDriverTimeout(*device, timeout);
    uint32_t error = 0;
    while (done < length && error == 0) {
        const ssize_t n = write(device->fd, data + done, length - done);
        if (n > 0)
            done += static_cast<uint32_t>(n);
        else if (n < 0 && errno == EINTR)
            continue;
        else if (n < 0 && errno == ETIMEDOUT && device->usbtmc)
            error = kErrorTimeout;
        else if (n < 0 && errno == EAGAIN && !device->usbtmc)
            error = PollWait(device->fd, POLLOUT, device->abortFd.load(), deadline);
        else
            error = n < 0 ? static_cast<uint32_t>(errno) : EIO;
    }
    if (written)
        *written = done;
    return error == 0 ? 1 : Fail(error);
}

int VavUZIz_ReadDevice(int handle, uint8_t* buffer, uint32_t length, uint32_t* read, uint32_t timeout)
{
    if (read)
        *read = 0;
    const std::shared_ptr<OpenedDevice> device = Find(handle);
    if (!device)
        return Fail(EBADF);
    if (Aborted(*device))
        return Fail(ECANCELED);
    if (length == 0)
        return 1;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout);
    if (device->usbtmc)
        SetDriverTimeout(*device, timeout);
    for (;;) {
        const ssize_t n = ::read(device->fd, buffer, length);
        if (n > 0) {
            if (read)
                *read = static_cast<uint32_t>(n);
            return 1;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == ETIMEDOUT && device->usbtmc)
            return Fail(kErrorTimeout);
        // A read of nothing from a device that poll called ready: it has gone away.
        if (n == 0 || errno != EAGAIN || device->usbtmc)
            return Fail(n == 0 ? EIO : static_cast<uint32_t>(errno));
        const uint32_t error = PollWait(device->fd, POLLIN, device->abortFd.load(), deadline);
        if (error != 0)
            return Fail(error);
    }
}

int VavUZIz_SetAbortSignal(int handle, const CAbortSignal* signal)
{
    const std::shared_ptr<OpenedDevice> device = Find(handle);
    if (!device)
        return Fail(EBADF);
    device->abortFd.store(static_cast<int>(WaitHandleOf(signal)));
    return 1;
}

const char* VavUZIz_DevicePath(int handle)
{
    const std::shared_ptr<OpenedDevice> device = Find(handle);
    return device ? device->path.c_str() : nullptr;
}

}  // namespace zorflash
