#include "usb/UsbDevice.h"

#include "platform/AbortSignal.h"
#include "platform/LastError.h"
#include "platform/posix/PollWait.h"

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

namespace zorflash {

// On POSIX an instrument on USB is a character device: a CDC-ACM serial port, put in raw
// mode, or a USBTMC node.

const uint32_t CUsbDevice::kNoCandidate = ENODEV;

struct CUsbDevice::Port {
    int fd = -1;
    bool usbtmc = false;  // its driver has no poll for reads: its own time-out bounds them
    bool restoreMode = false;
    termios savedMode{};  // a terminal's mode before we made it raw, given back at close
    std::atomic<int> abortFd{-1};

    ~Port()
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

namespace {

using Clock = std::chrono::steady_clock;

// Puts a serial port in raw mode: every byte value passes unchanged both ways, with no
// echo, no line editing, no CR/LF translation, no signals and no flow control. Bytes
// that waited from before the open are dropped: they are no answer to our query.
bool MakeRaw(int fd, termios& saved, bool& restore)
{
    termios mode{};
    if (tcgetattr(fd, &mode) != 0)
        return false;
    saved = mode;
    restore = true;
    cfmakeraw(&mode);
    mode.c_cflag |= CLOCAL | CREAD;
    mode.c_cc[VMIN] = 1;
    mode.c_cc[VTIME] = 0;
    if (tcsetattr(fd, TCSANOW, &mode) != 0)
        return false;
    tcflush(fd, TCIFLUSH);
    return true;
}

bool Aborted(int abortFd)
{
    if (abortFd < 0)
        return false;
    pollfd p{abortFd, POLLIN, 0};
    return poll(&p, 1, 0) == 1;
}

// A USBTMC transfer is bounded by the driver's own time-out (100 ms at least).
void SetDriverTimeout(int fd, uint32_t timeout)
{
    uint32_t driverTimeout = std::max<uint32_t>(timeout, 100);
    ioctl(fd, USBTMC_IOCTL_SET_TIMEOUT, &driverTimeout);
}

}  // namespace

CUsbDevice::CUsbDevice() = default;
CUsbDevice::~CUsbDevice() = default;

bool CUsbDevice::Open(const std::string& path)
{
    auto port = std::make_unique<Port>();
    const auto fail = [](int code) {
        SetLastError(static_cast<uint32_t>(code != 0 ? code : EIO));
        return false;
    };
    port->fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (port->fd < 0)
        return fail(errno);
    struct stat info{};
    if (fstat(port->fd, &info) != 0)
        return fail(errno);
    // Only a character device can be an instrument. A regular file or anything else in
    // the list (a glob that matched the update file) is never written to.
    if (!S_ISCHR(info.st_mode))
        return fail(ENOTTY);
    // Another process (a second zorflash) talking to the same instrument would mix its
    // bytes with ours.
    if (flock(port->fd, LOCK_EX | LOCK_NB) != 0)
        return fail(errno);
    if (isatty(port->fd)) {
        if (!MakeRaw(port->fd, port->savedMode, port->restoreMode))
            return fail(errno);
    } else {
        uint32_t driverTimeout = 0;
        port->usbtmc = ioctl(port->fd, USBTMC_IOCTL_GET_TIMEOUT, &driverTimeout) == 0;
        if (port->usbtmc)
            fcntl(port->fd, F_SETFL, fcntl(port->fd, F_GETFL) & ~O_NONBLOCK);
    }
    m_port = std::move(port);
    m_path = path;
    // The same key UsbDeviceKey gives a character device's path.
    m_key = "device:" + std::to_string(static_cast<unsigned long long>(info.st_rdev));
    return true;
}

uint32_t CUsbDevice::Write(const uint8_t* data, uint32_t length, uint32_t& written, uint32_t timeout)
{
    written = 0;
    Port& port = *m_port;
    if (Aborted(port.abortFd.load()))
        return ECANCELED;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout);
    if (port.usbtmc)
        SetDriverTimeout(port.fd, timeout);
    uint32_t error = 0;
    while (written < length && error == 0) {
        const ssize_t n = write(port.fd, data + written, length - written);
        if (n > 0)
            written += static_cast<uint32_t>(n);
        else if (n < 0 && errno == EINTR)
            continue;
        else if (n < 0 && errno == ETIMEDOUT && port.usbtmc)
            error = kErrorTimeout;
        else if (n < 0 && errno == EAGAIN && !port.usbtmc)
            error = PollWait(port.fd, POLLOUT, port.abortFd.load(), deadline);
        else
            error = n < 0 ? static_cast<uint32_t>(errno) : EIO;
    }
    return error;
}

uint32_t CUsbDevice::Read(uint8_t* buffer, uint32_t length, uint32_t& read, uint32_t timeout)
{
    read = 0;
    Port& port = *m_port;
    if (Aborted(port.abortFd.load()))
        return ECANCELED;
    if (length == 0)
        return 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout);
    if (port.usbtmc)
        SetDriverTimeout(port.fd, timeout);
    for (;;) {
        const ssize_t n = ::read(port.fd, buffer, length);
        if (n > 0) {
            read = static_cast<uint32_t>(n);
            return 0;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == ETIMEDOUT && port.usbtmc)
            return kErrorTimeout;
        // A read of nothing from a device that poll called ready: it has gone away.
        if (n == 0 || errno != EAGAIN || port.usbtmc)
            return n == 0 ? EIO : static_cast<uint32_t>(errno);
        const uint32_t error = PollWait(port.fd, POLLIN, port.abortFd.load(), deadline);
        if (error != 0)
            return error;
    }
}

void CUsbDevice::SetAbortSignal(const CAbortSignal* signal)
{
    m_port->abortFd.store(static_cast<int>(WaitHandleOf(signal)));
}

}  // namespace zorflash
