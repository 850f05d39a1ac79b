// ref_sender: the fastest this machine can carry a fast-mode update to the simulator.
// The file is read into memory before the clock starts; the exchange then uses nothing
// but blocking socket calls on spans of that memory. zorflash-cli is measured against it.
//
//   ref_sender --port PORT FILE
//
// It talks to 127.0.0.1 only. It prints "ref_sender: seconds=S bytes=B acks=A".

#include "RecordPlan.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kTimeoutSeconds = 10;

int Fail(const std::string& what)
{
    std::fprintf(stderr, "ref_sender: %s\n", what.c_str());
    return 1;
}

bool ReadWholeFile(const char* path, std::vector<uint8_t>& bytes, std::string& error)
{
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = std::string("cannot read ") + path + ": " + std::strerror(errno ? errno : EINVAL);
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    bytes.resize(static_cast<size_t>(st.st_size));
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    ::close(fd);
    if (done != bytes.size()) {
        error = std::string("short read on ") + path;
        return false;
    }
    return true;
}

class CSocket {
public:
    CSocket() : m_fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP)) {}
    ~CSocket()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    CSocket(const CSocket&) = delete;
    CSocket& operator=(const CSocket&) = delete;

    bool Connect(int port)
    {
        if (m_fd < 0)
            return false;
        // The same socket options as the tool's channel, and every wait bounded.
        const int on = 1;
        setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        timeval limit{kTimeoutSeconds, 0};
        setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        setsockopt(m_fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
        sockaddr_in target{};
        target.sin_family = AF_INET;
        target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        target.sin_port = htons(static_cast<uint16_t>(port));
        return ::connect(m_fd, reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0;
    }

    bool Send(const void* data, size_t length)
    {
        const auto* bytes = static_cast<const uint8_t*>(data);
        while (length > 0) {
            const ssize_t n = ::send(m_fd, bytes, length, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            bytes += n;
            length -= static_cast<size_t>(n);
        }
        return true;
    }

    bool Expect(const void* expected, size_t length)
    {
        uint8_t reply[16];
        if (length > sizeof reply)
            return false;
        size_t done = 0;
        while (done < length) {
            const ssize_t n = ::recv(m_fd, reply + done, length - done, 0);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            done += static_cast<size_t>(n);
        }
        return std::memcmp(reply, expected, length) == 0;
    }

private:
    int m_fd;
};

}  // namespace

int main(int argc, char** argv)
{
    int port = 0;
    const char* path = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--port") == 0 && i + 1 < argc)
            port = std::atoi(argv[++i]);
        else if (argv[i][0] != '-' && !path)
            path = argv[i];
        else
            return Fail("usage: ref_sender --port PORT FILE");
    }
    if (port < 1 || port > 65535 || !path)
        return Fail("usage: ref_sender --port PORT FILE");

    std::vector<uint8_t> file;
    std::string error;
    if (!ReadWholeFile(path, file, error))
        return Fail(error);
    CRecordPlan plan;
    if (!plan.Build(file, error))
        return Fail(std::string(path) + ": " + error);

    const auto start = std::chrono::steady_clock::now();
    {
        CSocket link;
        if (!link.Connect(port))
            return Fail("cannot connect to 127.0.0.1:" + std::to_string(port) + ": " + std::strerror(errno));
        const uint8_t sync = 0x55, syncReply = 0xAA, headerSize = 0x38, ack = 0x59;
        if (!link.Send(":UP:EXEC\r\n", 10) || !link.Send(&sync, 1) || !link.Expect(&syncReply, 1) ||
            !link.Send("MORVENAL\r\n", 10) || !link.Expect("MORVENAL\r\n", 10) || !link.Send(&headerSize, 1) ||
            !link.Expect(&headerSize, 1) || !link.Send(file.data(), CRecordPlan::kHeaderSize) || !link.Expect(&ack, 1))
            return Fail("handshake failed");
        for (const CRecordPlan::Write& write : plan.Writes()) {
            if (!link.Send(file.data() + write.offset, write.length))
                return Fail("send failed: " + std::string(std::strerror(errno)));
            if (write.acknowledged && !link.Expect(&ack, 1))
                return Fail("no acknowledgement");
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("ref_sender: seconds=%.6f bytes=%zu acks=%zu\n", seconds, file.size(), plan.Acknowledgements());
    return 0;
}
