#include "cli/FleetRunner.h"

#include <algorithm>

namespace zorflash {

CFleetRunner::CFleetRunner(std::size_t targets, std::size_t parallel)
    : m_states(targets), m_parallel(parallel == 0 ? targets : std::min(parallel, targets))
{
    for (auto& state : m_states)
        state.store(State::Waiting);
}

CFleetRunner::~CFleetRunner()
{
    StopStarting();
    Join();
}

void CFleetRunner::Start(Task task)
{
    m_task = std::move(task);
    // A lane takes the next waiting target when its last one ends; with as many lanes as
    // targets every target has a thread from the start.
    for (std::size_t i = 0; i < m_parallel; ++i)
        m_lanes.emplace_back([this] { Lane(); });
}

void CFleetRunner::Lane()
{
    for (;;) {
        const std::size_t index = m_next.fetch_add(1);
        if (index >= m_states.size())
            return;
        if (m_stopped.load()) {
            m_states[index].store(State::NotStarted);
            m_settled.fetch_add(1);
            continue;
        }
        m_states[index].store(State::Running);
        m_task(index);
        m_states[index].store(State::Finished);
        m_settled.fetch_add(1);
    }
}

void CFleetRunner::StopStarting()
{
    m_stopped.store(true);
}

void CFleetRunner::Join()
{
    for (std::thread& lane : m_lanes)
        if (lane.joinable())
            lane.join();
    m_lanes.clear();
}

}  // namespace zorflash
