#pragma once

#include "sim/FaultPlan.h"
#include "sim/UniqueFd.h"
#include "sim/UpdateLedger.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zorflash {

// One instrument on USB, as a pseudo-terminal: it answers the identification query with a
// line carrying its device number at index 8, and runs updates exactly as over TCP. The
// host opens and closes the slave side for each search and each update.
class CPtyInstrument {
public:
    CPtyInstrument(int index, int deviceNumber, std::string query, std::string idPrefix,
                   const CFaultPlan& faults, CUpdateLedger& ledger, int idleTimeoutMs);

    bool Open(std::string& error);
    const std::string& Path() const { return m_path; }
    int DeviceNumber() const { return m_number; }

    // Serves until the run stops (or the instrument is unplugged by a drop fault).
    void Run();

private:
    enum class Mode { Idle, Resync };

    void Answer();
    // Handles one byte received outside an update; true when an update begins with it.
    bool TakeIdleByte(uint8_t byte);
    std::string Name() const { return "usb device " + std::to_string(m_index); }

    int m_index;
    int m_number;
    std::string m_queryLine;
    std::string m_reply;
    const CFaultPlan& m_faults;
    CUpdateLedger& m_ledger;
    int m_idleTimeoutMs;
    CUniqueFd m_master;
    // Held open so the master never reads EIO between the host's opens, and so the
    // line settings made raw here survive them.
    CUniqueFd m_slave;
    std::string m_path;

    Mode m_mode = Mode::Idle;
    std::string m_line;        // Idle: the line so far; Resync: the last bytes seen
    int m_lastUpdate = 0;      // the update that just ended, for stray bytes after it
};

}  // namespace zorflash
