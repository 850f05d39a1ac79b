#include "SimServer.h"

#include <fstream>
#include <sstream>
#include <thread>

CSimServer::CSimServer(const std::string& outputDir, const std::vector<std::string>& extraArgs, int updates)
{
    const std::string portFile = outputDir + "/sim.port";
    std::remove(portFile.c_str());
    std::vector<std::string> args = {"serve",       "--tcp",         "127.0.0.1:0",
                                     "--port-file", portFile,        "--max-updates",
                                     std::to_string(updates), "--idle-timeout-ms", "20000"};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    if (!m_process.Start(ZORFLASH_SIM_PATH, args, outputDir, "sim"))
        return;
    for (int i = 0; i < 500 && m_port == 0; ++i) {
        std::ifstream in(portFile);
        if (!(in >> m_port))
            m_port = 0;
        if (m_port == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::vector<std::string> CSimServer::Summaries(std::chrono::milliseconds timeout)
{
    if (!m_process.Wait(timeout))
        m_process.Kill();
    std::vector<std::string> lines;
    std::istringstream out(m_process.Stdout());
    for (std::string line; std::getline(out, line);)
        if (line.rfind("update ", 0) == 0)
            lines.push_back(line);
    return lines;
}

bool MakeSample(const std::string& outputDir, const std::vector<std::string>& args)
{
    CChildProcess maker;
    std::vector<std::string> all = {"make-sample"};
    all.insert(all.end(), args.begin(), args.end());
    return maker.Start(ZORFLASH_SIM_PATH, all, outputDir, "make-sample") &&
           maker.Wait(std::chrono::seconds(30)) && maker.ExitCode() == 0;
}
