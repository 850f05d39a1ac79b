// What an instrument on USB may send back: the bytes reach the USB channel's line reader
// through a real pseudo-terminal and the device layer, and every line that comes back is
// read for its device number, as the identification does. Each result is checked against
// the line rule worked out from the bytes alone: up to LF or NUL, CR dropped, a line that
// does not fit comes back cut with length 0, and bytes that run out end in an error.
//
// Input: byte 0 gives the line capacity (bit 7: the identification's 256, else 1..64);
// the rest is what the instrument sends.

#include "link/UsbChannel.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

using namespace zorflash;

namespace {

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "usb reply: %s\n", what);
    std::abort();
}

// The line wait is short: all bytes are in the terminal before the reader starts, so a
// time-out means only that they have run out.
constexpr uint32_t kLineTimeoutMs = 1;
// Below the terminal's input buffer (4096), so that no write waits for a reader.
constexpr size_t kMaxReply = 3000;

// One instrument on a pseudo-terminal, opened through the channel once for the whole run:
// it answers the identification with device number 0 and then sends whatever it is given.
class CPtyInstrument {
public:
    CPtyInstrument()
    {
        m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0)
            Fail("no pseudo-terminal");
        const std::string slave = ptsname(m_master);
        // A second handle on the terminal, to see how many bytes wait for the reader.
        m_watch = open(slave.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios mode{};
        tcgetattr(m_watch, &mode);
        cfmakeraw(&mode);
        tcsetattr(m_watch, TCSANOW, &mode);
        setenv("ZORFLASH_USB_DEVICES", slave.c_str(), 1);

        std::thread answer([this] {
            std::string query;
            char c = 0;
            while (query.find("\r\n") == std::string::npos && read(m_master, &c, 1) == 1)
                query.push_back(c);
            const char reply[] = "MORVENAL 0\r\n";
            if (write(m_master, reply, sizeof reply - 1) != static_cast<ssize_t>(sizeof reply - 1))
                Fail("identification reply not written");
        });
        m_channel.SetIdQuery(":IF:ID?");
        const bool opened = m_channel.Open(0);
        answer.join();
        if (!opened)
            Fail("the instrument was not found");
    }

    CUsbChannel& Channel() { return m_channel; }

    // Puts the bytes in the terminal and waits until the reader can see them all.
    size_t Send(const uint8_t* data, size_t size)
    {
        tcflush(m_watch, TCIOFLUSH);
        tcflush(m_master, TCIOFLUSH);
        const ssize_t written = size ? write(m_master, data, size) : 0;
        if (written < 0)
            Fail("write to the terminal failed");
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        int waiting = 0;
        while (ioctl(m_watch, FIONREAD, &waiting) == 0 && waiting < written) {
            if (std::chrono::steady_clock::now() > deadline)
                Fail("the terminal did not deliver the bytes");
            std::this_thread::yield();
        }
        return static_cast<size_t>(written);
    }

private:
    int m_master = -1;
    int m_watch = -1;
    CUsbChannel m_channel;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static CPtyInstrument instrument;
    if (size < 1)
        return 0;
    const uint32_t capacity = (data[0] & 0x80) ? CUsbChannel::kReplyLineSize : 1u + (data[0] & 63);
    const uint8_t* reply = data + 1;
    const size_t sent = instrument.Send(reply, std::min(size - 1, kMaxReply));

    // Line by line until the bytes run out; the expected line always takes at least one
    // byte, so the loop ends even if the reader does not advance.
    for (size_t pos = 0;;) {
        std::string expected;
        bool ended = false;
        bool cut = false;
        while (pos < sent) {
            const uint8_t b = reply[pos++];
            if (b == 0 || b == '\n') {
                ended = true;
                break;
            }
            if (b == '\r')
                continue;
            if (expected.size() == capacity - 1) {
                ended = cut = true;
                break;
            }
            expected.push_back(static_cast<char>(b));
        }

        auto buffer = std::make_unique<char[]>(capacity);
        uint32_t length = capacity;
        const uint32_t result = instrument.Channel().ReadLine(buffer.get(), length, kLineTimeoutMs);
        if ((result == 0) != ended)
            Fail(ended ? "a whole line was reported as an error" : "running out of bytes was reported as a line");
        if (std::memchr(buffer.get(), 0, capacity) == nullptr || buffer.get() != expected)
            Fail("line not terminated or differs from the bytes sent");
        if (length != (cut ? 0u : expected.size()))
            Fail("line length");

        int32_t number = 0;
        const bool hasNumber = CUsbChannel::ParseDeviceNumber(buffer.get(), number);
        if (hasNumber != (expected.size() >= 9))
            Fail("a reply shorter than nine characters carried a number, or a longer one none");
        if (hasNumber && number != std::clamp<long>(std::strtol(expected.c_str() + 8, nullptr, 10), INT32_MIN, INT32_MAX))
            Fail("device number");
        if (!ended)
            break;
    }
    return 0;
}
