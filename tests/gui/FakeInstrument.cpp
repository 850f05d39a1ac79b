#include "FakeInstrument.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

namespace {
constexpr int kStepTimeoutMs = 10000;
constexpr int kBlockRecords = 64;
}  // namespace

CFakeInstrument::CFakeInstrument() = default;

CFakeInstrument::~CFakeInstrument()
{
    m_stop = true;
    m_release = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_listenFd >= 0)
        ::close(m_listenFd);
}

bool CFakeInstrument::Listen(bool holdHeaderAck)
{
    m_holdHeaderAck = holdHeaderAck;
    m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listenFd < 0)
        return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_listenFd, 1) != 0 ||
        ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return false;
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { Serve(); });
    return true;
}

std::string CFakeInstrument::Failure() const
{
    const char* failure = m_failure.load();
    return failure ? failure : "";
}

bool CFakeInstrument::ReadExact(int fd, uint8_t* data, size_t size)
{
    size_t done = 0;
    while (done < size) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, kStepTimeoutMs) <= 0 || m_stop)
            return false;
        const ssize_t n = ::read(fd, data + done, size - done);
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool CFakeInstrument::WriteAll(int fd, const void* data, size_t size)
{
    return ::send(fd, data, size, MSG_NOSIGNAL) == static_cast<ssize_t>(size);
}

void CFakeInstrument::Serve()
{
    // In short slices, so that a test that never connects ends its instrument at once.
    int waited = 0;
    for (;; waited += 50) {
        pollfd p{m_listenFd, POLLIN, 0};
        if (::poll(&p, 1, 50) > 0)
            break;
        if (m_stop || waited >= 30000) {
            m_failure = "no connection";
            return;
        }
    }
    const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
        m_failure = "accept failed";
        return;
    }
    auto fail = [&](const char* why) {
        m_failure = why;
        ::close(fd);
    };
    uint8_t buffer[600];
    if (!ReadExact(fd, buffer, 10) || std::memcmp(buffer, ":UP:EXEC\r\n", 10) != 0)
        return fail("no :UP:EXEC");
    if (!ReadExact(fd, buffer, 1) || buffer[0] != 0x55 || !WriteAll(fd, "\xAA", 1))
        return fail("no 0x55");
    if (!ReadExact(fd, buffer, 10) || std::memcmp(buffer, "MORVENAL\r\n", 10) != 0 ||
        !WriteAll(fd, "MORVENAL\r\n", 10))
        return fail("no MORVENAL");
    if (!ReadExact(fd, buffer, 1) || buffer[0] != 0x38 || !WriteAll(fd, "\x38", 1))
        return fail("no 0x38");
    if (!ReadExact(fd, buffer, 56) || std::memcmp(buffer, "MORVENAL RT71 MAIN ROM", 22) != 0)
        return fail("bad header");
    m_headerReceived = true;
    // Bounded too: a test that forgets to release still ends.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (m_holdHeaderAck && !m_release && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (!WriteAll(fd, "Y", 1))
        return fail("header ack not sent");
    for (int index = 0;; ++index) {
        if (!ReadExact(fd, buffer, 1))
            return fail("record stream cut");
        const size_t n = buffer[0];
        if (n == 0)
            break;
        if (!ReadExact(fd, buffer + 1, 2 * n + 1))
            return fail("record cut");
        unsigned sum = 0;
        for (size_t i = 1; i <= 2 * n; ++i)
            sum += buffer[i];
        if ((sum & 0xFF) != buffer[2 * n + 1])
            return fail("checksum");
        m_records = index;
        if ((index == 0 || (index - 1) % kBlockRecords == 0) && !WriteAll(fd, "Y", 1))
            return fail("ack not sent");
    }
    m_completed = true;
    ::close(fd);
}
