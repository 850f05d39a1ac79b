#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zorflash {

// Where the instrument may misbehave: each point at which it owes the host a reply.
enum class ReplyStep { Sync, Ident, HeaderSize, Header, Record };

struct ReplyPoint {
    ReplyStep step;
    int section = 0;      // 1-based, records only
    int recordIndex = 0;  // index within the section, 0 = START; records only
};

// What the instrument does instead of its proper reply.
enum class FaultAction {
    Wrong,   // a wrong byte (or a wrong identification line)
    Silent,  // no reply at all; the link stays open
    Drop,    // the link is cut instead of the reply
    Delay,   // the proper reply, late
    Short,   // only the first four bytes of the identification reply, then silence
    Nak,     // 'N' in place of 'Y'
    Reset,   // the link is reset (TCP RST) instead of the reply
};

struct Fault {
    FaultAction action;
    int delayMs = 0;
};

// The faults of one run of the simulator, parsed from "STEP:ACTION[:ARG]" texts. STEP is
// sync, ident, header-size, header, start, ack (every record acknowledgement), record:K
// (the acknowledgement after record index K of section 1, 0 being START) or sS:record:K;
// K must be a record the host waits after (0, 1, 65, 129, ...).
class CFaultPlan {
public:
    // Adds one fault; false with a reason in `error` if the text does not parse.
    bool Add(const std::string& text, std::string& error);
    // Empty when the host waits for an acknowledgement after record index `record` of a
    // section; otherwise why a fault planned there would never be met. A fault nobody can
    // meet would let a test pass that believes it tried the failure.
    static std::string WhyNeverAcknowledged(long long record);
    // The same, ahead of the faults already planned.
    bool AddFirst(const std::string& text, std::string& error);

    void SetAckDelayMs(int ms) { m_ackDelayMs = ms; }
    int AckDelayMs() const { return m_ackDelayMs; }
    // The most header and record bytes the instrument takes for one update: a host that
    // streams on without END is refused there rather than filling the disk.
    void SetImageLimit(unsigned long long bytes) { m_imageLimit = bytes; }
    unsigned long long ImageLimit() const { return m_imageLimit; }

    // Each update gets, with this chance, one fault drawn at random (see RandomFault);
    // the draws of one instrument follow from its seed, so a run can be repeated.
    void SetRandomFaults(double chance, unsigned long long seed)
    {
        m_randomChance = chance;
        m_randomSeed = seed;
    }
    double RandomChance() const { return m_randomChance; }
    unsigned long long RandomSeed() const { return m_randomSeed; }
    // One fault as --fault text, from two draws in [0, 1): a wrong reply, no reply, a
    // dropped link, a NAK, a reset link, or slow acknowledgements ("ack:delay:MS", which
    // the host should sit out), at the sync, identification, header-size, header, START,
    // record 1 or record 65 reply.
    static std::string RandomFault(double what, double where);

    // The first fault planned for this point, if any.
    std::optional<Fault> FaultAt(const ReplyPoint& point) const;

    bool Empty() const { return m_entries.empty() && m_ackDelayMs == 0; }

private:
    enum class Where { Sync, Ident, HeaderSize, Header, Start, AnyAck, Record };
    struct Entry {
        Where where;
        int section = 1;
        int record = 0;
        Fault fault;
    };
    static bool Matches(const Entry& entry, const ReplyPoint& point);

    std::vector<Entry> m_entries;
    int m_ackDelayMs = 0;
    unsigned long long m_imageLimit = kDefaultImageLimit;
    double m_randomChance = 0;
    unsigned long long m_randomSeed = 1;

public:
    static constexpr unsigned long long kDefaultImageLimit = 1ull << 30;
};

std::string DescribeReplyPoint(const ReplyPoint& point);
std::string DescribeFault(const Fault& fault);

}  // namespace zorflash
