#include "sim/TcpFleet.h"

#include <thread>

namespace zorflash {

namespace {

// A free port on the first address may be taken on another; a new one is tried this often.
constexpr int kFreePortTries = 20;

} // namespace

bool CTcpFleet::Listen(const std::vector<TcpEndpoint>& endpoints, const std::vector<CFaultPlan>& plans,
                       std::string& error)
{
    const bool sharedFreePort = endpoints.size() > 1 && endpoints.front().port == 0;
    for (int attempt = 0; attempt < (sharedFreePort ? kFreePortTries : 1); ++attempt) {
        if (ListenOnce(endpoints, plans, sharedFreePort, error))
            return true;
    }
    return false;
}

bool CTcpFleet::ListenOnce(const std::vector<TcpEndpoint>& endpoints, const std::vector<CFaultPlan>& plans,
                           bool sharedFreePort, std::string& error)
{
    m_servers.clear();
    m_endpoints = endpoints;
    for (std::size_t i = 0; i < endpoints.size(); ++i) {
        auto server = std::make_unique<CTcpServer>(plans.at(i), m_ledger, m_idleTimeoutMs);
        const int port = sharedFreePort && i > 0 ? m_servers.front()->Port() : endpoints[i].port;
        if (!server->Listen(endpoints[i].host, port, error)) {
            m_servers.clear();
            return false;
        }
        m_endpoints[i].port = server->Port();
        // One instrument keeps the summary line it always had; in a fleet each line says whose.
        if (endpoints.size() > 1)
            server->SetLabel("instrument=" + std::to_string(i) + " tcp=" + endpoints[i].host + ":"
                             + std::to_string(server->Port()));
        m_servers.push_back(std::move(server));
    }
    return true;
}

void CTcpFleet::Serve()
{
    if (m_servers.size() == 1) {
        m_servers.front()->Serve();
        return;
    }
    std::vector<std::jthread> threads;
    threads.reserve(m_servers.size());
    for (auto& server : m_servers)
        threads.emplace_back([&server] { server->Serve(); });
}

}  // namespace zorflash
