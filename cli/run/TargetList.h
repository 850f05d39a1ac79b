#pragma once

#include "resources/strings/Language.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zorflash {

// One instrument of a fleet command: over TCP/IP by address and port, or over USB by the
// device number it answers the identification query with.
struct FleetTarget {
    enum class Kind { Tcp, Usb };
    Kind kind = Kind::Tcp;
    uint32_t address = 0;  // first octet in the most significant byte
    int32_t port = 0;
    int32_t usbNumber = 0;

    // "A.B.C.D:PORT" or "usb:N": the name every line, event and summary row uses.
    std::string Name() const;
};

// The targets of one flash command, from --tcp (repeatable), --usb / --usb-number and
// --targets FILE, in the order given. An instrument named twice is refused: two jobs on
// one instrument would interleave their bytes on its link.
class CTargetList {
public:
    // More than this is a mistake rather than a fleet: each target is a thread and a link.
    static constexpr std::size_t kMaxTargets = 256;

    // What is wrong with a target is worded in `language`.
    explicit CTargetList(Language language = Language::English) : m_language(language) {}

    // A.B.C.D[-E.F.G.H][:PORT[-PORT]]: one target, or every one of the ranges in order.
    bool AddTcp(const std::string& text, std::string& error);
    // "N[,N...]": the USB instruments answering these device numbers.
    bool AddUsbNumbers(const std::string& text, std::string& error);
    // A targets file may be a pipe or FIFO (`--targets <(grep ...)`): it must have been
    // read whole within this long, the run's --timeout when given.
    static constexpr uint32_t kFileTimeoutMs = 10000;

    // One target (or range) a line: A.B.C.D[:PORT] or usb:N; blank lines and "#" comments are skipped.
    bool AddFile(const std::string& path, std::string& error, uint32_t timeoutMs = kFileTimeoutMs);
    // The text of such a file, a UTF-8 byte-order mark at its start skipped (an editor's
    // "UTF-8 with BOM"); `origin` names it in errors.
    bool AddLines(const std::string& text, const std::string& origin, std::string& error);

    const std::vector<FleetTarget>& Targets() const { return m_targets; }
    bool Empty() const { return m_targets.empty(); }

private:
    bool AddLine(const std::string& line, std::string& error);
    bool Add(const FleetTarget& target, std::string& error);

    std::vector<FleetTarget> m_targets;
    Language m_language;
};

}  // namespace zorflash
