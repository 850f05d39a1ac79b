#pragma once

// Real peers for the link tests: sockets on 127.0.0.1 (nothing here ever leaves the
// loopback) and instruments on pseudo-terminals.

#include <dirent.h>
#include <fcntl.h>
#include <sys/eventfd.h>
#include "LoopbackListener.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using Clock = std::chrono::steady_clock;

inline int64_t MsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

inline bool WriteAll(int fd, const std::string& bytes)
{
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t n = send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Reads until count bytes came, the peer closed, or nothing came for idleMs.
inline std::string ReadUpTo(int fd, size_t count, int idleMs = 2000)
{
    std::string got;
    char block[4096];
    for (pollfd p{fd, POLLIN, 0}; got.size() < count && poll(&p, 1, idleMs) == 1;) {
        const ssize_t n = recv(fd, block, std::min(sizeof block, count - got.size()), 0);
        if (n <= 0)
            break;
        got.append(block, static_cast<size_t>(n));
    }
    return got;
}

// Instruments on pseudo-terminals, their slave paths in ZORFLASH_USB_DEVICES. One thread
// plays every instrument on the master sides: it records every byte received and answers
// each line ending in '?' (an identification query) with the instrument's reply and CR LF.
// An empty reply is an instrument that never answers.
class CPtyBench {
public:
    explicit CPtyBench(std::vector<std::string> replies)
        : m_replies(std::move(replies)), m_received(m_replies.size())
    {
        std::string list;
        for (size_t i = 0; i < m_replies.size(); ++i) {
            const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
            grantpt(master);
            unlockpt(master);
            m_masters.push_back(master);
            m_slaves.push_back(ptsname(master));
            list += (i ? ":" : "") + m_slaves.back();
            // Held open so that the master never sees a hang-up between our opens. The
            // terminal mode (one for both sides) stays the system's cooked one: raw mode
            // is the layer's job.
            m_heldSlaves.push_back(open(m_slaves.back().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
        }
        setenv("ZORFLASH_USB_DEVICES", list.c_str(), 1);
        m_thread = std::thread([this] { Serve(); });
    }
    ~CPtyBench()
    {
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t n = write(m_stop, &one, sizeof one);
        m_thread.join();
        for (const std::vector<int>* fds : {&m_heldSlaves, &m_masters})
            for (int fd : *fds)
                close(fd);
        close(m_stop);
    }
    CPtyBench(const CPtyBench&) = delete;
    CPtyBench& operator=(const CPtyBench&) = delete;

    size_t Size() const { return m_masters.size(); }
    const std::string& SlavePath(size_t i) const { return m_slaves[i]; }
    int Master(size_t i) const { return m_masters[i]; }

    std::string Received(size_t i) const
    {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_received[i];
    }
    // Waits (bounded) until instrument i has received at least count bytes.
    std::string AwaitReceived(size_t i, size_t count) const
    {
        for (int waited = 0; waited < 2000 && Received(i).size() < count; waited += 5)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return Received(i);
    }

    // Descriptors of this process open on instrument i's device, the bench's own not counted.
    int OpenCount(size_t i) const
    {
        int count = -1;
        DIR* dir = opendir("/proc/self/fd");
        while (dirent* entry = readdir(dir)) {
            char target[256] = {};
            const std::string link = std::string("/proc/self/fd/") + entry->d_name;
            count += readlink(link.c_str(), target, sizeof target - 1) > 0 && m_slaves[i] == target;
        }
        closedir(dir);
        return count;
    }

private:
    void Serve()
    {
        std::vector<std::string> pending(m_masters.size());
        for (;;) {
            std::vector<pollfd> fds;
            for (int master : m_masters)
                fds.push_back({master, POLLIN, 0});
            fds.push_back({m_stop, POLLIN, 0});
            if (poll(fds.data(), fds.size(), -1) < 0)
                continue;
            if (fds.back().revents)
                return;
            for (size_t i = 0; i < m_masters.size(); ++i) {
                char block[4096];
                const ssize_t n = (fds[i].revents & POLLIN) ? read(m_masters[i], block, sizeof block) : 0;
                if (n <= 0)
                    continue;
                {
                    std::lock_guard<std::mutex> guard(m_lock);
                    m_received[i].append(block, static_cast<size_t>(n));
                }
                pending[i].append(block, static_cast<size_t>(n));
                for (size_t end; (end = pending[i].find("\r\n")) != std::string::npos;) {
                    const std::string line = pending[i].substr(0, end);
                    pending[i].erase(0, end + 2);
                    if (!line.empty() && line.back() == '?' && !m_replies[i].empty()) {
                        const std::string answer = m_replies[i] + "\r\n";
                        [[maybe_unused]] ssize_t w = write(m_masters[i], answer.data(), answer.size());
                    }
                }
            }
        }
    }

    std::vector<std::string> m_replies;
    std::vector<int> m_masters;
    std::vector<std::string> m_slaves;
    std::vector<int> m_heldSlaves;
    int m_stop = eventfd(0, EFD_CLOEXEC);
    mutable std::mutex m_lock;
    std::vector<std::string> m_received;
    std::thread m_thread;
};
