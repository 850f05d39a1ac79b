#pragma once

#include "sim/FaultPlan.h"
#include "sim/ModelFacts.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zorflash {

// The bytes the instrument owes the host at a reply point, or what it does instead.
struct SimReply {
    std::string bytes;   // empty: say nothing
    int delayMs = 0;     // wait this long before replying
    bool drop = false;   // cut the link instead of replying
    bool reset = false;  // and reset it (TCP RST) rather than close it
};

// One update as the instrument sees it, from the first byte of ":UP:EXEC" to the last END.
// Fed the host's bytes as they arrive, in pieces of any size; it never touches a socket.
// At every reply point it stops and offers the reply; the transport carries it out and
// calls ReplyDone(). Any byte the host sends meanwhile is a protocol fault of the host.
class CWireSession {
public:
    explicit CWireSession(const CFaultPlan& faults);

    // Takes the bytes in order and returns how many it took: all of them, unless the last
    // needed END came earlier, where it stops so the transport can decide what the rest is.
    std::size_t Feed(const uint8_t* data, std::size_t size);

    const std::optional<SimReply>& PendingReply() const { return m_pending; }
    void ReplyDone();

    // How the link ended, as the transport saw it.
    void LinkClosedByHost();
    void LinkResetByHost();
    void LinkDroppedBySim();
    void LinkClosedBySim();
    void HostSilent(int ms);
    void Stop(const std::string& why);

    // The last needed END has arrived.
    bool Complete() const { return m_state == State::Done; }
    // The instrument has stopped taking part: a fault it injected, or a host error.
    bool Refused() const { return m_state == State::Refused || m_state == State::Failed; }
    // The image grew past the instrument's limit: the transport cuts the link.
    bool OverLimit() const { return m_overLimit; }
    // After a host error the instrument has nothing left to say; TCP half-closes so the
    // host sees the end at once instead of waiting out its time-out.
    bool WantsHangUp() const { return m_state == State::Failed && !m_pending; }
    bool HasError() const { return !m_error.empty(); }
    bool FaultInjected() const { return m_injected.has_value(); }
    bool Started() const { return m_wireOffset > 0; }

    // Header and record bytes received since the last call, in order: the image to save.
    std::vector<uint8_t> TakeImageBytes();

    std::string Verdict() const;
    // One machine-readable line: "update N: kind=... sections=... verdict=...".
    std::string Summary(int number, const std::string& extra = {}) const;

    const std::string& LinkEnd() const { return m_linkEnd; }
    std::string KindName() const;
    int SectionsDone() const { return m_sectionsDone; }
    long long Records() const { return m_records; }
    long long Acks() const { return m_acks; }
    unsigned long long WireBytes() const { return m_wireOffset; }

private:
    enum class State {
        Command, Sync, Ident, HeaderSize, Header,
        RecordLength, RecordData, RecordChecksum,
        AwaitReply, Refused, Failed, Done,
    };

    void TakeByte(uint8_t byte);
    void ExpectText(const char* text, std::size_t length, uint8_t byte, State next,
                    const char* what);
    void OnHeaderComplete();
    void OnRecordComplete(uint8_t checksum);
    void OfferReply(const ReplyPoint& point, const std::string& proper, State next);
    void Fail(const std::string& message);
    void RefuseWithNak(const std::string& message);
    bool CheckImageLimit();  // false once the image is past the limit
    void EndTiming();
    std::string Where() const;
    std::string PlaceInSection() const;

    const CFaultPlan& m_faults;
    State m_state = State::Command;
    State m_afterReply = State::Command;
    std::optional<SimReply> m_pending;
    ReplyPoint m_pendingPoint{ReplyStep::Sync};
    std::optional<std::pair<Fault, ReplyPoint>> m_injected;
    bool m_overLimit = false;
    std::string m_error;
    std::string m_linkEnd = "open";

    unsigned long long m_wireOffset = 0;    // bytes received in this exchange
    unsigned long long m_imageOffset = 0;   // header and record bytes received
    std::size_t m_match = 0;                // position in a fixed text being received
    std::vector<uint8_t> m_header;
    std::vector<uint8_t> m_image;

    std::optional<SimKind> m_kind;
    int m_sectionsNeeded = 0;
    int m_sectionsDone = 0;
    int m_section = 1;
    int m_recordIndex = 0;
    int m_recordLength = 0;
    int m_dataSeen = 0;
    unsigned m_sum = 0;
    unsigned long long m_recordOffset = 0;
    long long m_records = 0;
    long long m_acks = 0;

    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
    std::optional<std::chrono::steady_clock::time_point> m_end;
};

}  // namespace zorflash
