#pragma once

#include <mutex>
#include <string>

namespace zorflash {

// Hands the update's status log from the worker thread to the window thread. The worker
// leaves the newest text and caret here and learns whether a wake-up must be posted; the
// window thread takes what is there when it gets to it. Changes that arrive before the
// window thread does are merged into one, so a fast link never queues more than one
// redraw, and the text the window thread takes is always the newest.
class CLogMailbox {
public:
    // Worker side. True when the reader must be woken (nothing was waiting).
    bool Put(const std::string& text, int caret);
    // Window side. False when nothing new has come since the last take.
    bool Take(std::string& text, int& caret);

private:
    std::mutex m_mutex;
    std::string m_text;
    int m_caret = 0;
    bool m_waiting = false;
};

}  // namespace zorflash
