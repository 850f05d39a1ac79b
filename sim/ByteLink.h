#pragma once

#include "sim/UniqueFd.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zorflash {

// The instrument's end of a link: a connected TCP socket or a pseudo-terminal master.
// Every call is bounded by its time-out.
class CByteLink {
public:
    enum class Kind { Socket, Terminal };
    enum class ReadResult { Data, TimedOut, Closed, Reset };

    // A terminal link does not own its descriptor: the instrument keeps it across updates.
    CByteLink(Kind kind, CUniqueFd fd) : m_kind(kind), m_fd(std::move(fd)), m_raw(m_fd.Get()) {}
    CByteLink(Kind kind, int borrowedFd) : m_kind(kind), m_raw(borrowedFd) {}

    // Waits up to timeoutMs for bytes and appends what is there to `out`.
    ReadResult Read(std::vector<uint8_t>& out, int timeoutMs);
    // Writes all bytes; false if the link failed or stayed blocked for timeoutMs.
    bool Write(const std::string& bytes, int timeoutMs);

    // TCP: tell the host there is nothing more to come, but keep hearing it.
    void HangUp();
    // Cut the link at once; `reset`: with a TCP reset, as a power cut or a crashed
    // instrument leaves it, rather than an orderly close.
    void Drop(bool reset = false);

    // A socket shows the host closing it; a terminal whose slave the simulator keeps open
    // never does, so the instrument ends an update at its last byte instead.
    bool SeesClose() const { return m_kind == Kind::Socket; }
    Kind LinkKind() const { return m_kind; }

private:
    Kind m_kind;
    CUniqueFd m_fd;
    int m_raw = -1;
    bool m_hungUp = false;
};

}  // namespace zorflash
