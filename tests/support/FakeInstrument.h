#pragma once

// An in-process instrument on 127.0.0.1 for engine tests: it follows the update protocol
// from the wire, answers at every reply point, and can hold one reply back. It
// keeps every byte it received, so a test compares the wire with the file.

#include "platform/LastError.h"
#include "platform/NetSocket.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

using namespace zorflash;

class FakeInstrument {
public:
    // Hold: the proper reply, but only once Release() is called, so a test can look at
    // the host in the middle of an update. (Faults at every reply point are the
    // simulator's business, in the whole-program tests.)
    // Hold: the reply waits for Release. Close: the connection ends in place of the reply.
    enum class Fault { None, Hold, Close };

    // Reply points in order: 0 sync, 1 identification, 2 header size, 3 header, then the
    // acknowledgements of the record sections.
    FakeInstrument(int faultAt = -1, Fault fault = Fault::None) : m_faultAt(faultAt), m_fault(fault)
    {
        m_listen.ListenOnLoopback(0, 4);
        m_port = m_listen.LocalPort();
        m_thread = std::thread([this] { Serve(); });
    }

    ~FakeInstrument()
    {
        m_stop.store(true);
        m_thread.join();
    }

    int Port() const { return m_port; }
    // Waits (at most two seconds) until the connection has ended, so that everything the
    // host sent has been read.
    bool WaitClosed()
    {
        for (int i = 0; i < 200 && !m_sawClose.load(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
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
    // Reads a block at a time (a system call per byte is slow under an emulator); every
    // wait is a short one, so that the destructor's stop is seen soon.
    bool ReadByte(CNetSocket& peer, uint8_t& b)
    {
        while (!m_stop.load()) {
            if (m_inputAt == m_inputEnd) {
                uint32_t n = 0;
                const uint32_t error = peer.ReceiveSome(m_input, sizeof m_input, n, nullptr, DeadlineAfter(50));
                if (error == kErrorTimeout)
                    continue;
                if (error != 0 || n == 0) {
                    m_sawClose.store(true);
                    return false;
                }
                m_inputAt = 0;
                m_inputEnd = n;
            }
            b = m_input[m_inputAt++];
            std::lock_guard<std::mutex> lock(m_mutex);
            m_received.push_back(b);
            return true;
        }
        return false;
    }

    bool ReadBytes(CNetSocket& peer, uint8_t* out, size_t n)
    {
        for (size_t i = 0; i < n; ++i)
            if (!ReadByte(peer, out[i]))
                return false;
        return true;
    }

    bool Reply(CNetSocket& peer, const std::string& good)
    {
        const bool fault = m_replies.fetch_add(1) == m_faultAt;
        if (fault && m_fault == Fault::Close)
            return false;
        if (fault && m_fault == Fault::Hold)
            while (!m_released.load() && !m_stop.load())
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
        const auto* bytes = reinterpret_cast<const uint8_t*>(good.data());
        for (size_t done = 0; done < good.size();) {
            uint32_t n = 0;
            if (peer.SendSome(bytes + done, static_cast<uint32_t>(good.size() - done), n, nullptr, DeadlineAfter(2000)) != 0)
                return false;
            done += n;
        }
        return true;
    }

    void Serve()
    {
        CNetSocket peer;
        while (!m_stop.load() && !peer.IsOpen())
            m_listen.Accept(peer, nullptr, DeadlineAfter(50));
        if (!peer.IsOpen())
            return;
        Exchange(peer);
    }

    void Exchange(CNetSocket& peer)
    {
        uint8_t buf[600];
        // ":UP:EXEC\r\n", 0x55
        if (!ReadBytes(peer, buf, 11) || !Reply(peer, std::string(1, '\xAA')))
            return;
        if (!ReadBytes(peer, buf, 10) || !Reply(peer, "MORVENAL\r\n"))
            return;
        if (!ReadBytes(peer, buf, 1) || !Reply(peer, std::string(1, '\x38')))
            return;
        if (!ReadBytes(peer, buf, 56) || !Reply(peer, "Y"))
            return;
        const int sections = std::memcmp(buf + 14, "SUB ", 4) == 0 ? 2 : 1;
        for (int s = 0; s < sections; ++s) {
            for (int index = 0;; ++index) {
                uint8_t n = 0;
                if (!ReadByte(peer, n))
                    return;
                if (n == 0)
                    break;
                if (!ReadBytes(peer, buf, 2u * n + 1))
                    return;
                unsigned sum = 0;
                for (unsigned i = 0; i < 2u * n; ++i)
                    sum += buf[i];
                if (static_cast<uint8_t>(sum) != buf[2u * n])
                    return;  // a bad record: the update can never be complete
                if ((index == 0 || (index - 1) % 64 == 0) && !Reply(peer, "Y"))
                    return;
            }
        }
        m_completed.store(true);
        // The host sends nothing after the last END; anything here is an error.
        uint8_t b;
        while (ReadByte(peer, b))
            m_extra.fetch_add(1);
    }

    CNetSocket m_listen;
    uint8_t m_input[4096];
    uint32_t m_inputAt = 0;
    uint32_t m_inputEnd = 0;
    int m_port = 0;
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
