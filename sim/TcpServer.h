#pragma once

#include "sim/FaultPlan.h"
#include "sim/UniqueFd.h"
#include "sim/UpdateLedger.h"

#include <string>

namespace zorflash {

// The instrument on the network: takes one connection at a time and runs one update on
// each, until stopped or until the ledger has seen enough updates.
class CTcpServer {
public:
    CTcpServer(const CFaultPlan& faults, CUpdateLedger& ledger, int idleTimeoutMs)
        : m_faults(faults), m_ledger(ledger), m_idleTimeoutMs(idleTimeoutMs) {}

    // Binds and listens on an IPv4 address; port 0 takes a free one. False with a reason.
    bool Listen(const std::string& host, int port, std::string& error);
    int Port() const { return m_port; }
    // Added to every summary line of this instrument.
    void SetLabel(std::string label) { m_label = std::move(label); }

    void Serve();

private:
    const CFaultPlan& m_faults;
    CUpdateLedger& m_ledger;
    int m_idleTimeoutMs;
    CUniqueFd m_listener;
    int m_port = 0;
    std::string m_label;
};

}  // namespace zorflash
