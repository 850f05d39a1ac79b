#pragma once

// zorflash-cli against zorflash-sim: the simulator serves on 127.0.0.1 (a free port it
// picks itself) and keeps every image it receives.

#include "Process.h"
#include "UpdateFileBuilder.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <sstream>

namespace testsupport {

inline const std::string kSim = ZORFLASH_SIM_PATH;
inline const std::string kCli = ZORFLASH_CLI_PATH;

class SimServer {
public:
    // maxUpdates > 0: the simulator ends by itself after that many updates. `tcp` may name
    // a fleet, e.g. "127.0.0.1-127.0.0.16:0": every address on one free port.
    SimServer(const TempDir& dir, std::vector<std::string> extra = {}, int maxUpdates = 0,
              const std::string& tcp = "127.0.0.1:0")
    {
        std::vector<std::string> argv = {kSim, "serve", "--tcp", tcp, "--port-file", dir / "port",
                                         "--out", dir / "images"};
        if (maxUpdates > 0) {
            argv.push_back("--max-updates");
            argv.push_back(std::to_string(maxUpdates));
        }
        argv.insert(argv.end(), extra.begin(), extra.end());
        std::filesystem::remove(dir / "port");
        std::filesystem::remove_all(dir / "images");
        m_process = std::make_unique<Process>(argv);
        for (int i = 0; i < 500 && m_port == 0; ++i) {
            std::ifstream in(dir / "port");
            in >> m_port;
            if (m_port == 0)
                usleep(10000);
        }
    }
    int Port() const { return m_port; }
    // The summary line of update n (1-based), waiting for it a little.
    std::string Summary(int n = 1)
    {
        const std::string key = "update " + std::to_string(n) + ":";
        m_process->WaitFor(key, 3000);
        const std::string out = m_process->Out();
        const size_t at = out.find(key);
        if (at == std::string::npos)
            return "";
        return out.substr(at, out.find('\n', at) - at);
    }
    // Every summary line, once the simulator has ended (it must have a --max-updates).
    std::vector<std::string> Summaries(int timeoutMs)
    {
        m_process->Wait(timeoutMs);
        std::vector<std::string> lines;
        std::istringstream out(m_process->Out());
        for (std::string line; std::getline(out, line);)
            if (line.rfind("update ", 0) == 0)
                lines.push_back(line);
        return lines;
    }
    std::string Output() { return m_process->Out() + m_process->Err(); }
    Process& Proc() { return *m_process; }

private:
    std::unique_ptr<Process> m_process;
    int m_port = 0;
};

// A loopback port nothing listens on (bound a moment ago, then closed): a refused connection.
inline int ClosedPort()
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    close(fd);
    return ntohs(addr.sin_port);
}

// Writes an update file with the simulator's sample writer.
inline bool MakeSample(const std::vector<std::string>& args)
{
    std::vector<std::string> argv = {kSim, "make-sample"};
    argv.insert(argv.end(), args.begin(), args.end());
    Process p(argv);
    return p.Wait(60000) == 0;
}

// A whole-program test in a folder of its own, with the RT71 sample files it updates.
class SimulatorTest : public ::testing::Test {
protected:
    // Made by the simulator (extra: more of its make-sample options) as dir/name.
    std::string Sample(const std::string& kind, int records, std::vector<std::string> extra = {},
                       const std::string& name = "fw1.R71")
    {
        std::vector<std::string> args = {"--model", "RT71", "--kind", kind, "--records", std::to_string(records)};
        args.insert(args.end(), extra.begin(), extra.end());
        args.push_back(dir / name);
        EXPECT_TRUE(MakeSample(args)) << "no sample " << name;
        return dir / name;
    }

    TempDir dir;
};

struct CliRun {
    int code = -1;
    std::string out;
    std::string err;
    std::string status;  // the --status-file contents
    double seconds = 0;
};

// How often word occurs in text (overlapping ones too).
inline int CountOf(const std::string& text, const std::string& word)
{
    int n = 0;
    for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1))
        ++n;
    return n;
}

inline std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline CliRun RunCli(const TempDir& dir, std::vector<std::string> args, const std::string& input = "",
                     const std::map<std::string, std::string>& env = {}, int timeoutMs = 30000)
{
    std::vector<std::string> argv = {kCli};
    argv.insert(argv.end(), args.begin(), args.end());
    const std::string statusFile = dir / "status.txt";
    std::remove(statusFile.c_str());
    if (args.size() > 0 && args[0] == "flash") {
        argv.push_back("--status-file");
        argv.push_back(statusFile);
    }
    const auto start = std::chrono::steady_clock::now();
    Process p(argv, env);
    p.Write(input);
    p.CloseInput();
    CliRun run;
    run.code = p.Wait(timeoutMs);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    usleep(20000);
    run.out = p.Out();
    run.err = p.Err();
    run.status = ReadText(statusFile);
    return run;
}

}  // namespace testsupport
