#include "ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

extern char** environ;

double NowSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

CChildProcess::~CChildProcess()
{
    if (m_pid > 0)
        Stop(2000);
    if (m_stdout >= 0)
        ::close(m_stdout);
}

bool CChildProcess::Start(const std::vector<std::string>& argv, const std::string& stdoutPath, bool pipeStdout,
                          const std::string& stderrPath, std::string& error)
{
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

    int pipeFds[2] = {-1, -1};
    if (pipeStdout && ::pipe2(pipeFds, O_CLOEXEC) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (pipeStdout)
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, stdoutPath.empty() ? "/dev/null" : stdoutPath.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (!stderrPath.empty())
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);

    m_startSeconds = NowSeconds();
    pid_t pid = -1;
    const int failed = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (pipeStdout)
        ::close(pipeFds[1]);
    if (failed != 0) {
        if (pipeStdout)
            ::close(pipeFds[0]);
        error = argv[0] + ": " + std::strerror(failed);
        return false;
    }
    m_pid = pid;
    m_pidFd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (pipeStdout)
        m_stdout = pipeFds[0];
    return true;
}

CChildProcess::Result CChildProcess::Wait(int timeoutMs)
{
    Result result;
    if (m_pid <= 0)
        return result;
    bool ended = false;
    if (m_pidFd >= 0) {
        pollfd p{m_pidFd, POLLIN, 0};
        int n;
        do {
            n = ::poll(&p, 1, timeoutMs);
        } while (n < 0 && errno == EINTR);
        ended = n > 0;
    } else {
        // Without process descriptors: look every millisecond, still bounded.
        for (int waited = 0; waited <= timeoutMs && !ended; ++waited) {
            siginfo_t info{};
            ended = ::waitid(P_PID, static_cast<id_t>(m_pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
                    info.si_pid == m_pid;
            if (!ended)
                ::usleep(1000);
        }
    }
    const double end = NowSeconds();
    if (!ended)
        ::kill(m_pid, SIGKILL);
    int status = 0;
    rusage usage{};
    while (::wait4(m_pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    result.exited = ended;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.seconds = end - m_startSeconds;
    result.peakRssKiB = usage.ru_maxrss;
    result.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                        static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    m_pid = -1;
    if (m_pidFd >= 0)
        ::close(m_pidFd);
    m_pidFd = -1;
    return result;
}

CChildProcess::Result CChildProcess::Stop(int timeoutMs)
{
    if (m_pid > 0)
        ::kill(m_pid, SIGTERM);
    return Wait(timeoutMs);
}
