#include "platform/OutputQueue.h"

#include "platform/AbortSignal.h"
#include "platform/Console.h"

#include <algorithm>
#include <set>
#include <vector>

namespace zorflash {

namespace {
using Clock = std::chrono::steady_clock;
}  // namespace

COutputQueue::COutputQueue() : m_state(std::make_shared<State>())
{
    // The writer holds the state too: once abandoned it may outlive this object.
    m_writer = StartQuietThread([state = m_state] { Write(state); });
}

COutputQueue::~COutputQueue()
{
    if (!m_writer.joinable())
        return;
    {
        std::lock_guard lock(m_state->mutex);
        m_state->stopping = true;
    }
    m_state->posted.notify_all();
    m_writer.join();
}

COutputQueue::Entry* COutputQueue::Find(uint64_t seq)
{
    std::deque<Entry>& entries = m_state->entries;
    if (entries.empty() || seq < entries.front().seq)
        return nullptr;
    const uint64_t index = seq - entries.front().seq;
    return index < entries.size() ? &entries[index] : nullptr;
}

void COutputQueue::Post(std::FILE* to, std::string text, Kind kind, const std::string& key)
{
    if (!to || text.empty())
        return;
    State& s = *m_state;
    {
        std::lock_guard lock(s.mutex);
        if (kind != Kind::Keep && s.live >= kCapacity) {
            const auto found = s.foldable.find(key);
            Entry* earlier = found == s.foldable.end() ? nullptr : Find(found->second);
            if (earlier && !earlier->dead) {
                earlier->dead = true;
                s.backlog[earlier->to] -= earlier->text.size();
                std::string().swap(earlier->text);
                --s.live;
                ++s.folded;
            }
        }
        Entry entry;
        entry.to = to;
        entry.kind = kind;
        entry.key = key;
        entry.seq = s.nextSeq++;
        s.backlog[to] += text.size();
        entry.text = std::move(text);
        if (kind == Kind::Keep)
            s.foldable.erase(key);  // a later replace must not reach back across it
        else
            s.foldable[key] = entry.seq;
        if (!key.empty())
            s.lastOfKey[key] = entry.seq;
        s.entries.push_back(std::move(entry));
        ++s.live;
    }
    s.posted.notify_one();
}

void COutputQueue::PostClose(std::FILE* file, std::string failureNote)
{
    if (!file)
        return;
    State& s = *m_state;
    {
        std::lock_guard lock(s.mutex);
        Entry entry;
        entry.to = file;
        entry.text = std::move(failureNote);
        entry.close = true;
        entry.seq = s.nextSeq++;
        s.entries.push_back(std::move(entry));
        ++s.live;
    }
    s.posted.notify_one();
}

bool COutputQueue::Pending(const std::string& key) const
{
    std::lock_guard lock(m_state->mutex);
    const auto found = m_state->lastOfKey.find(key);
    return found != m_state->lastOfKey.end() && found->second > m_state->writtenSeq;
}

std::size_t COutputQueue::Backlog(std::FILE* file) const
{
    std::lock_guard lock(m_state->mutex);
    const auto found = m_state->backlog.find(file);
    return found == m_state->backlog.end() ? 0 : found->second;
}

uint64_t COutputQueue::Folded() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->folded;
}

bool COutputQueue::Drained() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->writtenSeq + 1 >= m_state->nextSeq;
}

void COutputQueue::Write(const std::shared_ptr<State>& state)
{
    State& s = *state;
    std::set<std::FILE*> failed;  // files a write went wrong on; the writer's own
    for (;;) {
        std::deque<Entry> batch;
        {
            std::unique_lock lock(s.mutex);
            s.posted.wait(lock, [&s] { return !s.entries.empty() || s.stopping; });
            if (s.entries.empty())
                return;
            batch.swap(s.entries);
            s.live = 0;
        }
        for (Entry& e : batch) {
            if (e.dead)
                continue;
            if (e.close) {
                const bool flushed = std::fflush(e.to) == 0 && std::ferror(e.to) == 0;
                const bool closed = std::fclose(e.to) == 0;
                if ((!flushed || !closed || failed.count(e.to)) && !e.text.empty()) {
                    std::fwrite(e.text.data(), 1, e.text.size(), stderr);
                    std::fflush(stderr);
                }
                failed.erase(e.to);
            } else {
                // Each entry is out as soon as it is written: a script reading the pipe, or a
                // person at the terminal, sees it when it happens.
                if (std::fwrite(e.text.data(), 1, e.text.size(), e.to) != e.text.size() || std::fflush(e.to) != 0)
                    failed.insert(e.to);
            }
            std::lock_guard lock(s.mutex);
            if (!e.close)
                s.backlog[e.to] -= e.text.size();
            s.writtenSeq = e.seq;
            s.written.notify_all();
        }
        std::lock_guard lock(s.mutex);
        s.writtenSeq = batch.back().seq;
        s.written.notify_all();
    }
}

bool COutputQueue::Flush(std::chrono::milliseconds stall, const CAbortSignal* cut, std::chrono::milliseconds grace)
{
    State& s = *m_state;
    std::unique_lock lock(s.mutex);
    uint64_t seen = s.writtenSeq;
    auto lastMove = Clock::now();
    auto cutAt = Clock::time_point::max();
    while (s.writtenSeq + 1 < s.nextSeq) {
        s.written.wait_for(lock, std::chrono::milliseconds(50));
        const auto now = Clock::now();
        if (s.writtenSeq != seen) {
            seen = s.writtenSeq;
            lastMove = now;
        }
        if (cut && cut->IsTriggered() && cutAt == Clock::time_point::max())
            cutAt = now + grace;
        if (now - lastMove >= stall || now >= cutAt)
            return s.writtenSeq + 1 >= s.nextSeq;
    }
    return true;
}

void COutputQueue::Abandon()
{
    if (m_writer.joinable())
        m_writer.detach();
}

}  // namespace zorflash
