#include "ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace {

std::string ReadWhole(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

CChildProcess::~CChildProcess()
{
    Kill();
}

bool CChildProcess::Start(const std::string& program, const std::vector<std::string>& args,
                          const std::string& outputDir, const std::string& name, const std::string& input)
{
    m_outPath = outputDir + "/" + name + ".out";
    m_errPath = outputDir + "/" + name + ".err";
    const std::string inPath = outputDir + "/" + name + ".in";
    {
        std::ofstream in(inPath, std::ios::binary | std::ios::trunc);
        in << input;
    }
    std::vector<std::string> argv = {program};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> pointers;
    for (std::string& arg : argv)
        pointers.push_back(arg.data());
    pointers.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, inPath.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, m_outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, m_errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    m_started = std::chrono::steady_clock::now();
    const int error = posix_spawn(&m_pid, program.c_str(), &actions, nullptr, pointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        m_pid = -1;
        return false;
    }
    return true;
}

bool CChildProcess::Wait(std::chrono::milliseconds timeout)
{
    if (m_pid < 0)
        return m_exitCode != -1;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(m_pid, &status, WNOHANG);
        if (done == m_pid) {
            m_ended = std::chrono::steady_clock::now();
            m_exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            m_pid = -1;
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void CChildProcess::Kill()
{
    if (m_pid < 0)
        return;
    kill(m_pid, SIGKILL);
    int status = 0;
    waitpid(m_pid, &status, 0);
    m_pid = -1;
}

std::chrono::milliseconds CChildProcess::Elapsed() const
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(m_ended - m_started);
}

std::string CChildProcess::Stdout() const
{
    return ReadWhole(m_outPath);
}

std::string CChildProcess::Stderr() const
{
    return ReadWhole(m_errPath);
}
