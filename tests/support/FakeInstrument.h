#pragma once

// An in-process instrument on 127.0.0.1 for engine tests: it follows the update protocol
// from the wire, answers at every reply point, and can hold one reply back. It
// keeps every byte it received, so a test compares the wire with the file.

#include "LoopbackListener.h"

#include <atomic>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

class FakeInstrument {
public:
    // Hold: the proper reply, but only once Release() is called, so a test can look at
    // the host in the middle of an update. (Faults at every reply point are the
    // simulator's business, in the whole-program tests.)
    enum class Fault { None, Hold };

    // Reply points in order: 0 sync, 1 identification, 2 header size, 3 header, then the
    // acknowledgements of the record sections.
    FakeInstrument(int faultAt = -1, Fault fault = Fault::None) : m_faultAt(faultAt), m_fault(fault)
    {
        m_thread = std::thread([this] { Serve(); });
    }

    ~FakeInstrument()
    {
        m_stop.store(true);
        m_thread.join();
    }

    int Port() const { return m_listener.Port(); }
    // Waits (at most two seconds) until the connection has ended, so that everything the
    // host sent has been read.
    bool WaitClosed()
    {
        for (int i = 0; i < 200 && !m_sawClose.load(); ++i)
            usleep(10000);
        return m_sawClose.load();
    }
    std::vector<uint8_t> Received()
    {
        WaitClosed();
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_received;
    }
    int Replies() const { return m_replies.load(); }
    void Release() { m_released.store(true); }
    // Every END the header's kind needs arrived, after records whose checksums were right.
    bool Completed() const { return m_completed.load(); }
    bool SawClose() const { return m_sawClose.load(); }
    // Bytes that arrived after the last END the header's kind needs.
    size_t ExtraBytes() const { return m_extra.load(); }

private:
    bool ReadByte(int fd, uint8_t& b)
    {
        while (!m_stop.load()) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0)
                continue;
            const ssize_t n = recv(fd, &b, 1, 0);
            if (n <= 0) {
                m_sawClose.store(true);
                return false;
            }
            std::lock_guard<std::mutex> lock(m_mutex);
            m_received.push_back(b);
            return true;
        }
        return false;
    }

    bool ReadBytes(int fd, uint8_t* out, size_t n)
    {
        for (size_t i = 0; i < n; ++i)
            if (!ReadByte(fd, out[i]))
                return false;
        return true;
    }

    bool Reply(int fd, const std::string& good)
    {
        if (m_replies.fetch_add(1) == m_faultAt && m_fault == Fault::Hold)
            while (!m_released.load() && !m_stop.load())
                usleep(2000);
        return send(fd, good.data(), good.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(good.size());
    }

    void Serve()
    {
        int fd = -1;
        while (!m_stop.load() && fd < 0) {
            fd = m_listener.Accept(50);
        }
        if (fd < 0)
            return;
        Exchange(fd);
        close(fd);
    }

    void Exchange(int fd)
    {
        uint8_t buf[600];
        // ":UP:EXEC\r\n", 0x55
        if (!ReadBytes(fd, buf, 11) || !Reply(fd, std::string(1, '\xAA')))
            return;
        if (!ReadBytes(fd, buf, 10) || !Reply(fd, "MORVENAL\r\n"))
            return;
        if (!ReadBytes(fd, buf, 1) || !Reply(fd, std::string(1, '\x38')))
            return;
        if (!ReadBytes(fd, buf, 56) || !Reply(fd, "Y"))
            return;
        const int sections = std::memcmp(buf + 14, "SUB ", 4) == 0 ? 2 : 1;
        for (int s = 0; s < sections; ++s) {
            for (int index = 0;; ++index) {
                uint8_t n = 0;
                if (!ReadByte(fd, n))
                    return;
                if (n == 0)
                    break;
                if (!ReadBytes(fd, buf, 2u * n + 1))
                    return;
                unsigned sum = 0;
                for (unsigned i = 0; i < 2u * n; ++i)
                    sum += buf[i];
                if (static_cast<uint8_t>(sum) != buf[2u * n])
                    return;  // a bad record: the update can never be complete
                if ((index == 0 || (index - 1) % 64 == 0) && !Reply(fd, "Y"))
                    return;
            }
        }
        m_completed.store(true);
        // The host sends nothing after the last END; anything here is an error.
        uint8_t b;
        while (ReadByte(fd, b))
            m_extra.fetch_add(1);
    }

    CLoopbackListener m_listener;
    int m_faultAt;
    Fault m_fault;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_replies{0};
    std::atomic<bool> m_sawClose{false};
    std::atomic<bool> m_released{false};
    std::atomic<bool> m_completed{false};
    std::atomic<size_t> m_extra{0};
    std::mutex m_mutex;
    std::vector<uint8_t> m_received;
    std::thread m_thread;
};

}  // namespace testsupport
