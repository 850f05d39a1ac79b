#pragma once

#include "sim/ByteLink.h"
#include "sim/FaultPlan.h"
#include "sim/UpdateLedger.h"

#include <cstdint>
#include <string>
#include <vector>

// Runs one update over one link: feeds the host's bytes to a CWireSession, carries out its
// replies (with their delays, watching for bytes the host sends too early), saves the
// image and prints the summary line.
class CSessionDriver {
public:
    CSessionDriver(const CFaultPlan& faults, CUpdateLedger& ledger, int idleTimeoutMs)
        : m_faults(faults), m_ledger(ledger), m_idleTimeoutMs(idleTimeoutMs) {}

    struct Outcome {
        int number = 0;            // 0: the link ended before the host sent a byte
        bool dropped = false;      // the instrument cut the link (a drop fault)
        bool complete = false;
        std::vector<uint8_t> rest; // terminal only: bytes after the last END
    };

    // `first` holds bytes already received for this update (the terminal reads the
    // update-start command itself); `label` is added to the summary line.
    Outcome Run(CByteLink& link, std::vector<uint8_t> first, const std::string& label = {});

private:
    const CFaultPlan& m_faults;
    CUpdateLedger& m_ledger;
    int m_idleTimeoutMs;
};
