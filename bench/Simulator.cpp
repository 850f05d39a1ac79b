#include "Simulator.h"

#include <poll.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace {

long NumberAfter(const std::string& line, const std::string& key)
{
    const size_t at = line.find(" " + key + "=");
    return at == std::string::npos ? -1 : std::atol(line.c_str() + at + key.size() + 2);
}

}  // namespace

bool CSimulator::Start(const std::string& simPath, int ackDelayMs, const std::string& logPath, std::string& error,
                       const std::string& tcp)
{
    std::vector<std::string> argv = {simPath, "serve", "--tcp", tcp, "--idle-timeout-ms", "20000"};
    if (ackDelayMs > 0) {
        argv.push_back("--ack-delay-ms");
        argv.push_back(std::to_string(ackDelayMs));
    }
    // The simulator sleeps its acknowledgement delay with poll(); the default timer slack
    // of 50 us would stretch every 1 ms delay by 5 % and move the floor B2 is measured
    // against. The slack is inherited, so it is narrowed for this one spawn.
    const int slack = prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0);
    prctl(PR_SET_TIMERSLACK, 1, 0, 0, 0);
    const bool started = m_process.Start(argv, "", true, logPath, error);
    prctl(PR_SET_TIMERSLACK, slack > 0 ? slack : 50000, 0, 0, 0);
    if (!started)
        return false;
    std::string line;
    while (ReadLine(10000, line)) {
        const std::string prefix = "listening on 127.0.0.1:";
        if (line.rfind(prefix, 0) == 0) {
            m_port = std::atoi(line.c_str() + prefix.size());
            if (m_port > 0)
                return true;
        }
    }
    error = "the simulator did not start listening (see " + logPath + ")";
    Stop();
    return false;
}

bool CSimulator::ReadLine(int timeoutMs, std::string& line)
{
    for (;;) {
        const size_t end = m_pending.find('\n');
        if (end != std::string::npos) {
            line = m_pending.substr(0, end);
            m_pending.erase(0, end + 1);
            return true;
        }
        pollfd p{m_process.StdoutFd(), POLLIN, 0};
        const int n = ::poll(&p, 1, timeoutMs);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        char chunk[4096];
        const ssize_t got = ::read(m_process.StdoutFd(), chunk, sizeof chunk);
        if (got <= 0)
            return false;
        m_pending.append(chunk, static_cast<size_t>(got));
    }
}

bool CSimulator::NextUpdate(int timeoutMs, Update& update, std::string& error)
{
    std::string line;
    while (ReadLine(timeoutMs, line)) {
        if (line.rfind("update ", 0) != 0)
            continue;
        update.line = line;
        update.acks = NumberAfter(line, "acks");
        update.bytes = NumberAfter(line, "bytes");
        const size_t verdict = line.find(" verdict=");
        update.verdict = verdict == std::string::npos ? std::string() : line.substr(verdict + 9);
        if (update.verdict != "OK") {
            error = "the simulator did not accept the update: " + line;
            return false;
        }
        return true;
    }
    error = "no update summary from the simulator within " + std::to_string(timeoutMs) + " ms";
    return false;
}

void CSimulator::Stop()
{
    if (m_process.Running())
        m_process.Stop(5000);
}
