#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace zorflash {

class CAbortSignal;

// One USB device being asked for its identification by one search of this process.
// Searches of several updates (a fleet) walk the candidate list at the same time; a
// device one of them is asking is held only for that one identification, and another
// search waits for it rather than pass it over, so no search misses its instrument and
// none waits for more than the device it needs. Released when the claim ends.
class CDeviceClaim {
public:
    // Waits until no other claim holds `key`, at most until `deadline` and never after
    // `abort` (may be null) is triggered; Held() tells whether the claim was made.
    CDeviceClaim(std::string key, const CAbortSignal* abort, std::chrono::steady_clock::time_point deadline);
    // Claims whichever of `keys` is free first, with the same bounds; Key() tells which.
    // Waiting for them one after another would hold a search on a device that stays busy
    // (a silent one asked for its whole bound) while the next one is free.
    CDeviceClaim(const std::vector<std::string>& keys, const CAbortSignal* abort,
                 std::chrono::steady_clock::time_point deadline);
    ~CDeviceClaim();
    CDeviceClaim(const CDeviceClaim&) = delete;
    CDeviceClaim& operator=(const CDeviceClaim&) = delete;

    bool Held() const { return m_held; }
    const std::string& Key() const { return m_key; }

private:
    std::string m_key;
    bool m_held = false;
};

}  // namespace zorflash
