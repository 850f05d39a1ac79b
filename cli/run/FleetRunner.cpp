#include "cli/run/FleetRunner.h"

#include "cli/run/ChangeSignal.h"

#include <algorithm>
#include <system_error>

namespace zorflash {

CFleetRunner::CFleetRunner(std::size_t targets, std::size_t parallel, CChangeSignal* changes)
    : m_states(targets), m_parallel(parallel == 0 ? targets : std::min(parallel, targets)), m_changes(changes)
{
    for (auto& state : m_states)
        state.store(State::Waiting);
}

CFleetRunner::~CFleetRunner()
{
    StopStarting();
    Join();
}

std::size_t CFleetRunner::Start(Task task, MayStart mayStart)
{
    m_task = std::move(task);
    m_mayStart = std::move(mayStart);
    // A lane takes the next waiting target when its last one ends; with as many lanes as
    // targets every target has a thread from the start.
    for (std::size_t i = 0; i < m_parallel; ++i) {
        try {
            m_lanes.emplace_back([this] { Lane(); });
        } catch (const std::system_error&) {
            break;  // the system has no more threads: the run makes do with those it has
        }
    }
    if (m_lanes.empty())
        return 0;
    {
        std::lock_guard lock(m_gateMutex);
        m_open = true;
        m_made = m_lanes.size();
    }
    m_gate.notify_all();
    return m_lanes.size();
}

void CFleetRunner::Lane()
{
    std::size_t made = 0;
    {
        std::unique_lock lock(m_gateMutex);
        m_gate.wait(lock, [this] { return m_open; });
        made = m_made;
    }
    for (;;) {
        const std::size_t index = m_next.fetch_add(1);
        if (index >= m_states.size())
            return;
        // Asked here, on the thread that would start the target, so a signal or a final
        // answer stops it at once rather than at the display's next look.
        if (!m_stopped.load() && m_mayStart && !m_mayStart(index >= made))
            m_stopped.store(true);
        if (m_stopped.load()) {
            m_states[index].store(State::NotStarted);
            m_settled.fetch_add(1);
            if (m_changes)
                m_changes->Notify(true);
            continue;
        }
        m_states[index].store(State::Running);
        if (m_changes)
            m_changes->Notify(false);
        try {
            m_task(index);
        } catch (...) {
            // The task says for itself what went wrong; nothing may end the lane's thread
            // (and with it the process) while the other targets' links are open.
        }
        m_states[index].store(State::Finished);
        m_settled.fetch_add(1);
        if (m_changes)
            m_changes->Notify(true);
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
