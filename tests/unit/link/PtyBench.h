#pragma once

// Instruments on real pseudo-terminals for the USB tests. Each instrument is a pty whose
// slave path goes into ZORFLASH_USB_DEVICES; one thread plays every instrument on the
// master sides: it records all bytes it receives and answers each line that ends in '?'
// (an identification query) with the instrument's reply and CR LF. An empty reply is an
// instrument that never answers.

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CPtyBench {
public:
    explicit CPtyBench(std::vector<std::string> replies)
        : m_replies(std::move(replies)), m_received(m_replies.size())
    {
        for (size_t i = 0; i < m_replies.size(); ++i) {
            const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
            grantpt(master);
            unlockpt(master);
            termios mode{};
            tcgetattr(master, &mode);
            cfmakeraw(&mode);
            tcsetattr(master, TCSANOW, &mode);
            m_masters.push_back(master);
            m_slaves.push_back(ptsname(master));
            // Held open so that the master never sees a hang-up between our opens. Its
            // terminal mode is left as the system made it (cooked): raw mode is the layer's
            // job when it opens the device.
            m_heldSlaves.push_back(open(m_slaves.back().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
        }
        m_stop = eventfd(0, EFD_CLOEXEC);
        m_thread = std::thread([this] { Serve(); });
    }

    ~CPtyBench()
    {
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t n = write(m_stop, &one, sizeof one);
        m_thread.join();
        for (int fd : m_heldSlaves)
            close(fd);
        for (int fd : m_masters)
            close(fd);
        close(m_stop);
    }
    CPtyBench(const CPtyBench&) = delete;
    CPtyBench& operator=(const CPtyBench&) = delete;

    size_t Size() const { return m_masters.size(); }
    const std::string& SlavePath(size_t i) const { return m_slaves[i]; }
    int Master(size_t i) const { return m_masters[i]; }

    // The slave paths joined with ':', for ZORFLASH_USB_DEVICES.
    std::string DeviceList() const
    {
        std::string list;
        for (const std::string& path : m_slaves)
            list += (list.empty() ? "" : ":") + path;
        return list;
    }
    void UseAsDevices() const { setenv("ZORFLASH_USB_DEVICES", DeviceList().c_str(), 1); }

    std::string Received(size_t i) const
    {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_received[i];
    }
    // Waits until instrument i has received at least count bytes.
    std::string AwaitReceived(size_t i, size_t count, int timeoutMs = 2000) const
    {
        for (int waited = 0; waited < timeoutMs; waited += 5) {
            std::string got = Received(i);
            if (got.size() >= count)
                return got;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return Received(i);
    }

    // Descriptors of this process open on instrument i's device, the bench's own not counted.
    int OpenCount(size_t i) const
    {
        int count = 0;
        DIR* dir = opendir("/proc/self/fd");
        while (dirent* entry = readdir(dir)) {
            char target[256] = {};
            const std::string link = std::string("/proc/self/fd/") + entry->d_name;
            if (readlink(link.c_str(), target, sizeof target - 1) > 0 && m_slaves[i] == target)
                ++count;
        }
        closedir(dir);
        return count - 1;
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
                if (!(fds[i].revents & POLLIN))
                    continue;
                char block[4096];
                const ssize_t n = read(m_masters[i], block, sizeof block);
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
    int m_stop = -1;
    mutable std::mutex m_lock;
    std::vector<std::string> m_received;
    std::thread m_thread;
};
