#pragma once

// zorflash-sim serving one update on 127.0.0.1, with the faults a test asks for.

#include "ChildProcess.h"

#include <string>
#include <vector>

class CSimServer {
public:
    // extraArgs: --fault ..., --ack-delay-ms ..., as the simulator takes them.
    CSimServer(const std::string& outputDir, const std::vector<std::string>& extraArgs, int updates = 1);

    // The listening port, or 0 if the simulator did not come up within five seconds.
    int Port() const { return m_port; }
    // Waits for the simulator to end after its updates; its "update N: ..." lines.
    std::vector<std::string> Summaries(std::chrono::milliseconds timeout);
    std::string Output() const { return m_process.Stdout() + m_process.Stderr(); }

private:
    CChildProcess m_process;
    int m_port = 0;
};

// Makes an update file with the simulator's sample writer; false if it failed.
bool MakeSample(const std::string& outputDir, const std::vector<std::string>& args);
