#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace zorflash {

class CAbortSignal;

// A writer that never makes its callers wait: a thread that holds a link hands its text
// over and goes on at once, and one writer thread waits on the terminal, the pipe or the
// file. A reader that stops reading (a script's pipe, Ctrl+S on a terminal, a slow disk)
// then delays only the output, never an acknowledgement: the instrument would give up on
// a silent host. zorflash-cli's flash sends everything it prints through one of these.
//
// The queue is bounded for what can be told again later: once kCapacity entries wait, a
// Progress entry replaces the last waiting one of its key, and a Replace entry (a last
// line written over) the last waiting one of its key unless a Keep entry of that key came
// between them. Applied in order, what is written then still gives the same text. Keep
// entries (appended lines, prompts, answers, results, reasons) are never dropped; a
// caller makes few of them.
class COutputQueue {
public:
    enum class Kind { Keep, Replace, Progress };
    static constexpr std::size_t kCapacity = 1024;

    // Starts the writer thread; std::system_error when the system has no thread for it.
    COutputQueue();
    // Waits for what is queued (see Flush) unless Abandon() was called.
    ~COutputQueue();
    COutputQueue(const COutputQueue&) = delete;
    COutputQueue& operator=(const COutputQueue&) = delete;

    // Never waits for the output. `key` names what a later entry may supersede (a target's
    // status line, a target's progress) and, for Keep, what it keeps from being folded.
    void Post(std::FILE* to, std::string text, Kind kind = Kind::Keep, const std::string& key = {});
    // Closes `file` once everything posted to it before is written; if a write to it or
    // its close failed, `failureNote` (if any) goes to stderr.
    void PostClose(std::FILE* file, std::string failureNote);

    // An entry posted with `key` is still waiting or being written: a redraw that would
    // only pile up behind it is better skipped.
    bool Pending(const std::string& key) const;
    // Bytes posted to `file` and not written yet.
    std::size_t Backlog(std::FILE* file) const;
    // Entries folded into a later one so far.
    uint64_t Folded() const;

    // Everything posted so far is written: a Flush would not wait.
    bool Drained() const;
    // Waits until everything posted is written. Gives up when the output has not moved for
    // `stall`, or `grace` after `cut` was triggered (a signal: the run must end now, with
    // what could be written). False when something was left unwritten.
    bool Flush(std::chrono::milliseconds stall, const CAbortSignal* cut = nullptr,
               std::chrono::milliseconds grace = std::chrono::milliseconds(500));
    // After a Flush that gave up: the writer is left to the process's end, blocked where
    // it is. The process must then end with std::_Exit: exit() would flush the C streams,
    // one of which the writer may hold.
    void Abandon();

private:
    struct Entry {
        std::FILE* to = nullptr;
        std::string text;
        Kind kind = Kind::Keep;
        std::string key;
        uint64_t seq = 0;
        bool dead = false;   // folded into a later entry
        bool close = false;  // close `to` (text: the note on failure)
    };
    struct State {
        mutable std::mutex mutex;
        std::condition_variable posted;
        std::condition_variable written;
        std::deque<Entry> entries;
        std::size_t live = 0;
        uint64_t nextSeq = 1;
        uint64_t writtenSeq = 0;  // every entry up to here is written (or dropped)
        uint64_t folded = 0;
        bool stopping = false;
        std::map<std::string, uint64_t> lastOfKey;    // for Pending()
        std::map<std::string, uint64_t> foldable;     // key -> seq of the entry a new one may replace
        std::map<std::FILE*, std::size_t> backlog;
    };

    static void Write(const std::shared_ptr<State>& state);
    Entry* Find(uint64_t seq);

    std::shared_ptr<State> m_state;
    std::thread m_writer;
};

}  // namespace zorflash
