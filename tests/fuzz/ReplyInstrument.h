#pragma once

// An instrument on 127.0.0.1 whose replies are given bytes: for each connection it sends
// them all, in order, closes its sending side, then reads what the host sends until the
// host closes the link. Nothing waits on the fuzzer's bytes, so every run ends as soon as
// the host has used up the replies.

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

class CReplyInstrument {
public:
    CReplyInstrument();
    ~CReplyInstrument();
    CReplyInstrument(const CReplyInstrument&) = delete;
    CReplyInstrument& operator=(const CReplyInstrument&) = delete;

    int Port() const { return m_port; }
    // The replies for the next connection.
    void Arm(std::vector<uint8_t> replies);
    // Waits until that connection has been closed by the host; false if it was still open
    // after the given time.
    bool WaitClosed(int milliseconds);

private:
    void Serve();

    int m_listen = -1;
    int m_stopFd = -1;
    int m_port = 0;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<uint8_t> m_replies;
    bool m_closed = false;
    std::thread m_thread;
};
