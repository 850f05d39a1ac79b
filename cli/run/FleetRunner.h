#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace zorflash {

class CChangeSignal;

// Runs one task per target, each on a thread of its own, at most `parallel` at a time, in
// the order of the targets. The task is the whole update of one target (its job, host and
// link); the runner only decides when each may start.
//
// Every lane (thread) is made before the first target starts: a system that runs out of
// threads must say so before any instrument is contacted, not halfway through a fleet
// with links open.
class CFleetRunner {
public:
    enum class State { Waiting, Running, Finished, NotStarted };
    using Task = std::function<void(std::size_t index)>;
    // Asked on the lane, right before a target would start: false ends it, and every target
    // after it, as NotStarted. `queued` is true for a target that waited for a lane to come
    // free; the first target of each lane starts with the others at once, so what one of
    // them meets first (a disk prompt nobody answers) must not decide by a race whether the
    // others start.
    using MayStart = std::function<bool(bool queued)>;

    // parallel 0: every target at once. `changes`, if given, hears of every target that
    // starts (a change) and of every one that ends (urgent).
    CFleetRunner(std::size_t targets, std::size_t parallel, CChangeSignal* changes = nullptr);
    ~CFleetRunner();
    CFleetRunner(const CFleetRunner&) = delete;
    CFleetRunner& operator=(const CFleetRunner&) = delete;

    // Makes the lanes, then lets them start. Answers how many lanes there are: fewer than
    // asked when the system had no more threads (the targets then take turns on those),
    // 0 when it had none, and then nothing was started.
    std::size_t Start(Task task, MayStart mayStart = {});
    // Targets that have not started yet never will (Ctrl+C): they end as NotStarted.
    void StopStarting();
    // True once every target has finished or will never start.
    bool Done() const { return m_settled.load() == m_states.size(); }
    void Join();

    // Read by the display thread while the targets run: each state is an atomic.
    State StateOf(std::size_t index) const { return m_states[index].load(); }

private:
    void Lane();

    std::vector<std::atomic<State>> m_states;
    std::size_t m_parallel;
    CChangeSignal* m_changes;
    Task m_task;
    MayStart m_mayStart;
    std::atomic<std::size_t> m_next{0};
    std::atomic<std::size_t> m_settled{0};
    std::atomic<bool> m_stopped{false};
    std::mutex m_gateMutex;
    std::condition_variable m_gate;
    bool m_open = false;  // the lanes may start: every one that could be made exists
    std::size_t m_made = 0;  // lanes made, set with m_open
    std::vector<std::thread> m_lanes;
};

}  // namespace zorflash
