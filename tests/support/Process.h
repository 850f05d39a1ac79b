#pragma once

// Runs the project's programs from tests: a child with pipes for stdin, stdout and
// stderr, output gathered on background threads, and every wait bounded.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

// In a forked child: runs argv[0] with argv and env added to the environment; never returns.
[[noreturn]] inline void ExecChild(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env)
{
    for (const auto& [k, v] : env)
        setenv(k.c_str(), v.c_str(), 1);
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
}

// The child's exit code (128 + signal when killed) once it has ended, or -1 if it is still
// running after timeoutMs.
inline int WaitForExit(pid_t pid, int timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (int status = 0;; usleep(2000)) {
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (std::chrono::steady_clock::now() > end)
            return -1;
    }
}

// Asks output() again until it holds text; false once timeoutMs has passed without.
template <typename Output>
bool WaitForText(Output output, const std::string& text, int timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (; std::chrono::steady_clock::now() < end; usleep(2000)) {
        if (output().find(text) != std::string::npos)
            return true;
    }
    return false;
}

class Process {
public:
    explicit Process(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env = {})
    {
        int in[2], out[2], err[2];
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
            return;
        m_pid = fork();
        if (m_pid == 0) {
            dup2(in[0], 0);
            dup2(out[1], 1);
            dup2(err[1], 2);
            ExecChild(argv, env);
        }
        close(in[0]);
        close(out[1]);
        close(err[1]);
        m_stdin = in[1];
        m_readers.emplace_back([this, fd = out[0]] { Drain(fd, m_out); });
        m_readers.emplace_back([this, fd = err[0]] { Drain(fd, m_err); });
    }

    ~Process()
    {
        if (m_pid > 0 && !m_exited) {
            kill(m_pid, SIGKILL);
            Wait(5000);
        }
        CloseInput();
        for (std::thread& t : m_readers)
            t.join();
    }

    void Write(const std::string& text) { [[maybe_unused]] ssize_t n = write(m_stdin, text.data(), text.size()); }
    void CloseInput()
    {
        if (m_stdin >= 0)
            close(m_stdin);
        m_stdin = -1;
    }
    void Signal(int sig) { kill(m_pid, sig); }

    // Exit code (128 + signal when killed), or -1 if still running after timeoutMs.
    int Wait(int timeoutMs)
    {
        if (m_exited)
            return m_code;
        m_code = WaitForExit(m_pid, timeoutMs);
        m_exited = m_code >= 0;
        // The child's last lines may still sit in the pipes: callers read Out() right after
        // an exit, so wait (bounded: a grandchild may hold a pipe) until both readers have
        // met the end.
        for (int i = 0; m_exited && m_drained.load() < 2 && i < 2000; ++i)
            usleep(1000);
        return m_code;
    }

    int ExitCode() const { return m_code; }
    // Waits until stdout or stderr holds `text`.
    bool WaitFor(const std::string& text, int timeoutMs, bool onStderr = false)
    {
        return WaitForText([&] { return onStderr ? Err() : Out(); }, text, timeoutMs);
    }

    std::string Out()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_out;
    }
    std::string Err()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_err;
    }

private:
    void Drain(int fd, std::string& into)
    {
        char buffer[4096];
        for (;;) {
            const ssize_t n = read(fd, buffer, sizeof buffer);
            if (n <= 0)
                break;
            std::lock_guard<std::mutex> lock(m_mutex);
            into.append(buffer, static_cast<size_t>(n));
        }
        close(fd);
        ++m_drained;
    }

    pid_t m_pid = -1;
    int m_stdin = -1;
    bool m_exited = false;
    int m_code = -1;
    std::mutex m_mutex;
    std::string m_out;
    std::string m_err;
    std::vector<std::thread> m_readers;
    std::atomic<int> m_drained{0};
};

}  // namespace testsupport
