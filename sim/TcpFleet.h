#pragma once

#include "sim/FaultPlan.h"
#include "sim/SimArguments.h"
#include "sim/TcpServer.h"
#include "sim/UpdateLedger.h"

#include <memory>
#include <string>
#include <vector>

namespace zorflash {

// Every instrument a run serves over TCP, as on a subnet: one listener and one thread per
// address and port, each with its own faults. Instrument I is endpoint I of the list.
class CTcpFleet {
public:
    CTcpFleet(CUpdateLedger& ledger, int idleTimeoutMs) : m_ledger(ledger), m_idleTimeoutMs(idleTimeoutMs) {}

    // Listens on every endpoint, instrument I with plans[I]. Port 0 picks one free port that
    // every address of the list has free, so a fleet on a range of addresses shares a port
    // as real instruments do. False with a reason, listening on none.
    bool Listen(const std::vector<TcpEndpoint>& endpoints, const std::vector<CFaultPlan>& plans,
                std::string& error);

    int Size() const { return static_cast<int>(m_servers.size()); }
    CUpdateLedger& Ledger() { return m_ledger; }
    const TcpEndpoint& Endpoint(int index) const { return m_endpoints[static_cast<std::size_t>(index)]; }

    // Serves on every instrument until the run stops or the ledger has seen enough updates.
    void Serve();

private:
    bool ListenOnce(const std::vector<TcpEndpoint>& endpoints, const std::vector<CFaultPlan>& plans,
                    bool sharedFreePort, std::string& error);

    CUpdateLedger& m_ledger;
    int m_idleTimeoutMs;
    std::vector<TcpEndpoint> m_endpoints;
    std::vector<std::unique_ptr<CTcpServer>> m_servers;
};

}  // namespace zorflash
