#include "sim/PtyInstrument.h"

#include "sim/ByteLink.h"
#include "sim/SessionDriver.h"
#include "sim/StopFlag.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>

namespace zorflash {

namespace {

constexpr char kUpdateLine[] = ":UP:EXEC\r\n";

bool IsPrefix(const std::string& part, const std::string& whole)
{
    return part.size() <= whole.size() && whole.compare(0, part.size(), part) == 0;
}

bool EndsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::string Escaped(const std::string& text)
{
    std::string out;
    for (unsigned char c : text) {
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\x%02X", c);
            out += esc;
        }
    }
    return out;
}

} // namespace

CPtyInstrument::CPtyInstrument(int index, int deviceNumber, std::string query, std::string idPrefix,
                               const CFaultPlan& faults, CUpdateLedger& ledger, int idleTimeoutMs)
    : m_index(index), m_number(deviceNumber), m_queryLine(std::move(query) + "\r\n"),
      m_faults(faults), m_ledger(ledger), m_idleTimeoutMs(idleTimeoutMs)
{
    // The host reads the device number from index 8 of the reply line.
    idPrefix.resize(8, ' ');
    m_reply = idPrefix + std::to_string(deviceNumber) + "\r\n";
}

bool CPtyInstrument::Open(std::string& error)
{
    m_master.Reset(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!m_master.Valid() || ::grantpt(m_master.Get()) != 0 || ::unlockpt(m_master.Get()) != 0) {
        error = "cannot create a pseudo-terminal: " + std::string(std::strerror(errno));
        return false;
    }
    char name[128];
    if (::ptsname_r(m_master.Get(), name, sizeof name) != 0) {
        error = "cannot name the pseudo-terminal: " + std::string(std::strerror(errno));
        return false;
    }
    m_path = name;
    m_slave.Reset(::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
    termios settings{};
    if (!m_slave.Valid() || ::tcgetattr(m_slave.Get(), &settings) != 0) {
        error = "cannot open '" + m_path + "': " + std::strerror(errno);
        return false;
    }
    // No echo, no line editing, no CR/LF translation: every byte crosses unchanged.
    ::cfmakeraw(&settings);
    ::tcsetattr(m_slave.Get(), TCSANOW, &settings);
    return true;
}

void CPtyInstrument::Answer()
{
    // Anything still queued for the host is left from an earlier, abandoned exchange;
    // a host that has just asked must read only the answer.
    ::tcflush(m_slave.Get(), TCIFLUSH);
    CByteLink link(CByteLink::Kind::Terminal, m_master.Get());
    if (!link.Write(m_reply, m_idleTimeoutMs))
        m_ledger.PrintError(Name() + ": the identification reply could not be written");
    m_line.clear();
    m_mode = Mode::Idle;
    m_lastUpdate = 0;
}

bool CPtyInstrument::TakeIdleByte(uint8_t byte)
{
    m_line += static_cast<char>(byte);
    if (m_mode == Mode::Resync) {
        // After a broken exchange the host's leftovers are skipped until it starts afresh.
        if (EndsWith(m_line, m_queryLine))
            Answer();
        else if (EndsWith(m_line, kUpdateLine))
            return true;
        else if (m_line.size() > 256)
            m_line.erase(0, m_line.size() - 64);
        return false;
    }
    if (m_line == m_queryLine) {
        Answer();
        return false;
    }
    if (m_line == kUpdateLine)
        return true;
    if (IsPrefix(m_line, m_queryLine) || IsPrefix(m_line, kUpdateLine))
        return false;
    if (m_lastUpdate != 0)
        m_ledger.ReportError(Name() + ": ERROR: extra bytes after the last END of update "
                             + std::to_string(m_lastUpdate) + ": \"" + Escaped(m_line) + "\"");
    else
        m_ledger.ReportError(Name() + ": ERROR: expected the query \"" + Escaped(m_queryLine)
                             + "\" or \":UP:EXEC\\r\\n\" but got \"" + Escaped(m_line) + "\"");
    m_mode = Mode::Resync;
    m_lastUpdate = 0;
    m_line.clear();
    return false;
}

void CPtyInstrument::Run()
{
    CByteLink link(CByteLink::Kind::Terminal, m_master.Get());
    CSessionDriver driver(m_faults, m_ledger, m_idleTimeoutMs);
    std::vector<uint8_t> input;
    const std::string label = "device=" + std::to_string(m_index);
    while (!StopRequested() && !m_ledger.Exhausted()) {
        if (input.empty() && link.Read(input, kWaitSliceMs) != CByteLink::ReadResult::Data)
            continue;
        std::size_t used = 0;
        bool update = false;
        while (used < input.size() && !update)
            update = TakeIdleByte(input[used++]);
        input.erase(input.begin(), input.begin() + static_cast<std::ptrdiff_t>(used));
        if (!update)
            continue;

        std::vector<uint8_t> first(kUpdateLine, kUpdateLine + sizeof kUpdateLine - 1);
        first.insert(first.end(), input.begin(), input.end());
        auto outcome = driver.Run(link, std::move(first), label);
        input = std::move(outcome.rest);
        m_line.clear();
        if (outcome.dropped) {
            // A dropped link on USB is the instrument unplugged: it stays gone.
            m_ledger.Print(Name() + ": unplugged");
            m_slave.Reset();
            m_master.Reset();
            return;
        }
        m_mode = outcome.complete ? Mode::Idle : Mode::Resync;
        m_lastUpdate = outcome.complete ? outcome.number : 0;
    }
}

}  // namespace zorflash
