#pragma once

// Runs a program on a pseudo-terminal of a given size, as a person at a terminal would:
// its stdout and stderr are the terminal, what it writes is gathered on a thread, the
// terminal can be resized (the program gets SIGWINCH), and every wait is bounded. The
// program sees no NO_COLOR of the test's own environment, only one a case sets in `env`.

#include "Process.h"

#include <pty.h>
#include <sys/ioctl.h>

namespace testsupport {

class PtyProcess {
public:
    PtyProcess(const std::vector<std::string>& argv, int width, int height,
               const std::map<std::string, std::string>& env = {})
    {
        winsize size{};
        size.ws_col = static_cast<unsigned short>(width);
        size.ws_row = static_cast<unsigned short>(height);
        m_pid = forkpty(&m_master, nullptr, nullptr, &size);
        if (m_pid == 0) {
            setenv("TERM", "xterm", 1);
            unsetenv("NO_COLOR");
            ExecChild(argv, env);
        }
        if (m_pid > 0)
            m_reader = std::thread([this] { Drain(); });
    }

    ~PtyProcess()
    {
        if (m_pid > 0 && m_code < 0) {
            kill(m_pid, SIGKILL);
            Wait(5000);
        }
        m_stop = true;
        if (m_reader.joinable())
            m_reader.join();
        if (m_master >= 0)
            close(m_master);
    }

    void Resize(int width, int height)
    {
        winsize size{};
        size.ws_col = static_cast<unsigned short>(width);
        size.ws_row = static_cast<unsigned short>(height);
        ioctl(m_master, TIOCSWINSZ, &size);
    }
    void Type(const std::string& text) { [[maybe_unused]] ssize_t n = write(m_master, text.data(), text.size()); }
    void Signal(int sig) { kill(m_pid, sig); }

    // Exit code (128 + signal), or -1 if still running after timeoutMs.
    int Wait(int timeoutMs)
    {
        if (m_code < 0)
            m_code = WaitForExit(m_pid, timeoutMs);
        if (m_code >= 0) {
            // What the program wrote last may still be in the terminal: read it to its end
            // (at most two seconds: a grandchild could keep the terminal open).
            for (int i = 0; i < 1000 && !m_drained; ++i)
                usleep(2000);
        }
        return m_code;
    }

    // Everything written so far, escape sequences included.
    std::string Output()
    {
        std::lock_guard lock(m_mutex);
        return m_output;
    }
    bool WaitFor(const std::string& text, int timeoutMs)
    {
        return WaitForText([this] { return Output(); }, text, timeoutMs);
    }

private:
    void Drain()
    {
        char buffer[4096];
        while (!m_stop) {
            pollfd p{m_master, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0)
                continue;
            const ssize_t n = read(m_master, buffer, sizeof buffer);
            if (n <= 0) {
                m_drained = true;  // EIO: the program and every child closed the terminal
                return;
            }
            std::lock_guard lock(m_mutex);
            m_output.append(buffer, static_cast<size_t>(n));
        }
    }

    pid_t m_pid = -1;
    int m_master = -1;
    int m_code = -1;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_drained{false};
    std::mutex m_mutex;
    std::string m_output;
    std::thread m_reader;
};

}  // namespace testsupport
