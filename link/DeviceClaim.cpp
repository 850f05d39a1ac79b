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
    : m_key(std::move(key))
{
    std::unique_lock lock(g_claimLock);
    while (g_claimed.count(m_key) != 0) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline || (abort && abort->IsTriggered()))
            return;
        g_claimReleased.wait_until(lock, std::min(deadline, now + kAbortLook));
    }
    g_claimed.insert(m_key);
    m_held = true;
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
