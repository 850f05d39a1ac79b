#pragma once

#include "ChildProcess.h"

#include <string>

// zorflash-sim serving TCP on 127.0.0.1 (a free port), without saving what it receives:
// the benchmark measures the link, not the simulator's disk. Each update it ends is read
// back from its summary line, so a run that the instrument did not accept never counts.
class CSimulator {
public:
    struct Update {
        long acks = 0;
        long long bytes = 0;
        std::string verdict;
        std::string line;
    };

    // `tcp` may name a fleet ("127.0.0.1-127.0.0.64:0"): every address on the one port.
    bool Start(const std::string& simPath, int ackDelayMs, const std::string& logPath, std::string& error,
               const std::string& tcp = "127.0.0.1:0");
    int Port() const { return m_port; }
    // The summary of the next update, waiting at most timeoutMs for it.
    bool NextUpdate(int timeoutMs, Update& update, std::string& error);
    void Stop();

private:
    bool ReadLine(int timeoutMs, std::string& line);

    CChildProcess m_process;
    std::string m_pending;
    int m_port = 0;
};
