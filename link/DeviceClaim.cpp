#include "link/DeviceClaim.h"

#include "platform/AbortSignal.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <set>

namespace zorflash {

namespace {

// The devices being asked right now, by any search of this process.
std::mutex g_claimLock;
std::condition_variable g_claimReleased;
std::set<std::string> g_claimed;

// The abort signal has no way to wake a condition variable: it is looked at this often.
constexpr auto kAbortLook = std::chrono::milliseconds(20);

}  // namespace

CDeviceClaim::CDeviceClaim(std::string key, const CAbortSignal* abort, std::chrono::steady_clock::time_point deadline)
    : CDeviceClaim(std::vector<std::string>{std::move(key)}, abort, deadline)
{
}

CDeviceClaim::CDeviceClaim(const std::vector<std::string>& keys, const CAbortSignal* abort,
                           std::chrono::steady_clock::time_point deadline)
{
    std::unique_lock lock(g_claimLock);
    for (;;) {
        const auto free = std::find_if(keys.begin(), keys.end(),
                                       [](const std::string& key) { return g_claimed.count(key) == 0; });
        if (free != keys.end()) {
            m_key = *free;
            g_claimed.insert(m_key);
            m_held = true;
            return;
        }
        const auto now = std::chrono::steady_clock::now();
        if (keys.empty() || now >= deadline || (abort && abort->IsTriggered()))
            return;
        g_claimReleased.wait_until(lock, std::min(deadline, now + kAbortLook));
    }
}

CDeviceClaim::~CDeviceClaim()
{
    if (!m_held)
        return;
    {
        std::lock_guard lock(g_claimLock);
        g_claimed.erase(m_key);
    }
    g_claimReleased.notify_all();
}

}  // namespace zorflash
