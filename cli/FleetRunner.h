#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <thread>
#include <vector>

namespace zorflash {

// Runs one task per target, each on a thread of its own, at most `parallel` at a time, in
// the order of the targets. The task is the whole update of one target (its job, host and
// link); the runner only decides when each may start.
class CFleetRunner {
public:
    enum class State { Waiting, Running, Finished, NotStarted };
    using Task = std::function<void(std::size_t index)>;

    // parallel 0: every target at once.
    CFleetRunner(std::size_t targets, std::size_t parallel);
    ~CFleetRunner();
    CFleetRunner(const CFleetRunner&) = delete;
    CFleetRunner& operator=(const CFleetRunner&) = delete;

    void Start(Task task);
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
    Task m_task;
    std::atomic<std::size_t> m_next{0};
    std::atomic<std::size_t> m_settled{0};
    std::atomic<bool> m_stopped{false};
    std::vector<std::thread> m_lanes;
};

}  // namespace zorflash
