#pragma once

#include <string>
#include <vector>

// One program run by the benchmark: started with posix_spawn, its end learnt through a
// process descriptor, so the wall time is exact and every wait is bounded. Peak resident
// memory comes from the kernel's account of the child (wait4), not from sampling.
class CChildProcess {
public:
    struct Result {
        bool exited = false;    // false: it was killed at the time limit
        int exitCode = -1;      // exit status, or 128 + signal
        double seconds = 0;     // from just before the spawn to the end
        long peakRssKiB = 0;
        double cpuSeconds = 0;  // user and system time of the child
    };

    CChildProcess() = default;
    ~CChildProcess();
    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;

    // stdoutPath "" sends the output to /dev/null; pipeStdout keeps it readable through
    // StdoutFd() instead. stderr goes to stderrPath ("" for ours). stdin is /dev/null, so a
    // prompt is answered with end of input.
    bool Start(const std::vector<std::string>& argv, const std::string& stdoutPath, bool pipeStdout,
               const std::string& stderrPath, std::string& error);
    int StdoutFd() const { return m_stdout; }
    bool Running() const { return m_pid > 0; }

    // Waits at most timeoutMs; a child still running then is killed and reported so.
    Result Wait(int timeoutMs);
    // Asks the child to stop (SIGTERM) and waits for it at most timeoutMs.
    Result Stop(int timeoutMs);

private:
    int m_pid = -1;
    int m_pidFd = -1;
    int m_stdout = -1;
    double m_startSeconds = 0;
};

// A monotonic clock in seconds, for the measurements that are not a whole process.
double NowSeconds();
