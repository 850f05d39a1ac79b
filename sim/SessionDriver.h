#pragma once

#include "sim/ByteLink.h"
#include "sim/FaultPlan.h"
#include "sim/UpdateLedger.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace zorflash {

class CWireSession;
struct SimReply;

// Runs one update over one link: feeds the host's bytes to a CWireSession, carries out its
// replies (with their delays, watching for bytes the host sends too early), saves the
// image and prints the summary line.
class CSessionDriver {
public:
    CSessionDriver(const CFaultPlan& faults, CUpdateLedger& ledger, int idleTimeoutMs)
        : m_faults(faults), m_ledger(ledger), m_idleTimeoutMs(idleTimeoutMs), m_random(faults.RandomSeed()) {}

    struct Outcome {
        int number = 0;            // 0: the link ended before the host sent a byte
        bool dropped = false;      // the instrument cut the link (a drop fault, an image too large)
        bool silent = false;       // the host connected and sent nothing for the idle time-out
        bool complete = false;
        std::vector<uint8_t> rest; // terminal only: bytes after the last END
    };

    // `first` holds bytes already received for this update (the terminal reads the
    // update-start command itself); `label` is added to the summary line.
    Outcome Run(CByteLink& link, std::vector<uint8_t> first, const std::string& label = {});

private:
    // What carrying out a pending reply asks of the loop.
    enum class ReplyStep { Again, HostEnded, Stop };
    // How a reply's delay ended.
    enum class Delay { Spent, HostSpoke, HostEnded };
    struct FileCloser {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };

    bool Feed();  // false once the update is over for a terminal
    ReplyStep CarryOut(const SimReply& reply);
    Delay SpendDelay(int delayMs);
    bool Listen();  // false once the host has gone or fallen silent
    Outcome Finish(const std::string& label);

    // The plan of the next update: the instrument's own, and with --random-faults maybe one
    // fault more, named in `drawn`.
    CFaultPlan PlanForNextUpdate(std::string& drawn);

    const CFaultPlan& m_faults;
    CUpdateLedger& m_ledger;
    int m_idleTimeoutMs;
    std::mt19937_64 m_random;

    // The update under way; Run sets them up afresh and a driver runs one at a time.
    CWireSession* m_session = nullptr;
    CByteLink* m_link = nullptr;
    Outcome m_outcome;
    std::vector<uint8_t> m_input;
    std::unique_ptr<std::FILE, FileCloser> m_image;
    std::string m_imagePath;
    bool m_imageFailed = false;
    std::chrono::steady_clock::time_point m_lastHeard;
};

}  // namespace zorflash
