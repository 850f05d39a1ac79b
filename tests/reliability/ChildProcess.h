#pragma once

// One program run by a test: its output goes to files, its input is given up front (end
// of input after it), and every wait has a deadline; a program still running when the
// object goes is killed, so a hang fails the test instead of stalling the suite.

#include <chrono>
#include <string>
#include <vector>

class CChildProcess {
public:
    CChildProcess() = default;
    ~CChildProcess();
    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;

    // Starts program with args; input is what it reads on stdin. outputDir receives
    // NAME.out and NAME.err. False if it could not be started.
    bool Start(const std::string& program, const std::vector<std::string>& args, const std::string& outputDir,
               const std::string& name, const std::string& input = "");
    // Waits at most timeout for the end. True when it ended; ExitCode() then tells how.
    bool Wait(std::chrono::milliseconds timeout);
    void Kill();

    // The exit status, or 128 + signal number for a program killed by a signal.
    int ExitCode() const { return m_exitCode; }
    // From Start to the end seen by Wait.
    std::chrono::milliseconds Elapsed() const;
    std::string Stdout() const;
    std::string Stderr() const;
    int Pid() const { return m_pid; }

private:
    int m_pid = -1;
    int m_exitCode = -1;
    std::string m_outPath;
    std::string m_errPath;
    std::chrono::steady_clock::time_point m_started;
    std::chrono::steady_clock::time_point m_ended;
};
