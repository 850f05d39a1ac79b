#include "sim/FaultPlan.h"

#include <algorithm>
#include <charconv>
#include <iterator>

namespace zorflash {

namespace {

std::vector<std::string> SplitColons(const std::string& text)
{
    std::vector<std::string> parts;
    std::size_t begin = 0;
    for (;;) {
        const std::size_t colon = text.find(':', begin);
        parts.push_back(text.substr(begin, colon - begin));
        if (colon == std::string::npos)
            return parts;
        begin = colon + 1;
    }
}

bool ParseCount(const std::string& text, int& value, int limit)
{
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && value >= 0 && value <= limit;
}

} // namespace

bool CFaultPlan::Add(const std::string& text, std::string& error)
{
    std::vector<std::string> parts = SplitColons(text);
    Entry entry{};
    std::size_t next = 1;
    const std::string& first = parts[0];
    if (first == "sync") entry.where = Where::Sync;
    else if (first == "ident") entry.where = Where::Ident;
    else if (first == "header-size") entry.where = Where::HeaderSize;
    else if (first == "header") entry.where = Where::Header;
    else if (first == "start") entry.where = Where::Start;
    else if (first == "ack") entry.where = Where::AnyAck;
    else if (first == "record" || (first.size() > 1 && first[0] == 's')) {
        if (first != "record") {
            if (!ParseCount(first.substr(1), entry.section, 2) || entry.section < 1
                || parts.size() < 2 || parts[1] != "record") {
                error = "fault '" + text + "': expected sS:record:K with S 1 or 2";
                return false;
            }
            next = 2;
        }
        entry.where = Where::Record;
        if (parts.size() <= next || !ParseCount(parts[next], entry.record, 1 << 30)) {
            error = "fault '" + text + "': record needs an index K of 0 or more";
            return false;
        }
        ++next;
        if (const std::string why = WhyNeverAcknowledged(entry.record); !why.empty()) {
            error = "fault '" + text + "' can never fire: " + why;
            return false;
        }
    } else {
        error = "fault '" + text + "': unknown step '" + first
                + "' (sync, ident, header-size, header, start, ack, record:K, sS:record:K)";
        return false;
    }

    if (parts.size() <= next) {
        error = "fault '" + text + "': missing action (wrong, silent, drop, reset, delay:MS, short, nak)";
        return false;
    }
    const std::string& action = parts[next++];
    if (action == "wrong") entry.fault.action = FaultAction::Wrong;
    else if (action == "silent") entry.fault.action = FaultAction::Silent;
    else if (action == "drop") entry.fault.action = FaultAction::Drop;
    else if (action == "nak") entry.fault.action = FaultAction::Nak;
    else if (action == "short") entry.fault.action = FaultAction::Short;
    else if (action == "reset") entry.fault.action = FaultAction::Reset;
    else if (action == "delay") {
        entry.fault.action = FaultAction::Delay;
        if (parts.size() <= next || !ParseCount(parts[next], entry.fault.delayMs, 600000)) {
            error = "fault '" + text + "': delay needs milliseconds 0..600000";
            return false;
        }
        ++next;
    } else {
        error = "fault '" + text + "': unknown action '" + action + "'";
        return false;
    }
    if (entry.fault.action == FaultAction::Short && entry.where != Where::Ident) {
        error = "fault '" + text + "': a short reply exists only for ident";
        return false;
    }
    if (parts.size() != next) {
        error = "fault '" + text + "': unexpected text after the action";
        return false;
    }
    m_entries.push_back(entry);
    return true;
}

std::string CFaultPlan::WhyNeverAcknowledged(long long record)
{
    constexpr long long kBlock = 64;
    if (record <= 1 || (record - 1) % kBlock == 0)
        return {};
    const long long before = record - (record - 1) % kBlock;
    return "the instrument answers only after record 0 (START), record 1 and every 64th record after it "
           "(65, 129, ...); the nearest are " + std::to_string(before) + " and " + std::to_string(before + kBlock);
}

bool CFaultPlan::AddFirst(const std::string& text, std::string& error)
{
    CFaultPlan one;
    if (!one.Add(text, error))
        return false;
    m_entries.insert(m_entries.begin(), one.m_entries.begin(), one.m_entries.end());
    return true;
}

bool CFaultPlan::Matches(const Entry& entry, const ReplyPoint& point)
{
    switch (entry.where) {
    case Where::Sync: return point.step == ReplyStep::Sync;
    case Where::Ident: return point.step == ReplyStep::Ident;
    case Where::HeaderSize: return point.step == ReplyStep::HeaderSize;
    case Where::Header: return point.step == ReplyStep::Header;
    case Where::Start: return point.step == ReplyStep::Record && point.recordIndex == 0;
    case Where::AnyAck: return point.step == ReplyStep::Record;
    case Where::Record:
        return point.step == ReplyStep::Record && point.section == entry.section
               && point.recordIndex == entry.record;
    }
    return false;
}

std::optional<Fault> CFaultPlan::FaultAt(const ReplyPoint& point) const
{
    for (const Entry& entry : m_entries) {
        if (Matches(entry, point))
            return entry.fault;
    }
    return std::nullopt;
}

std::string DescribeReplyPoint(const ReplyPoint& point)
{
    switch (point.step) {
    case ReplyStep::Sync: return "sync";
    case ReplyStep::Ident: return "ident";
    case ReplyStep::HeaderSize: return "header-size";
    case ReplyStep::Header: return "header";
    case ReplyStep::Record:
        return "section " + std::to_string(point.section) + " record "
               + std::to_string(point.recordIndex);
    }
    return "?";
}

std::string DescribeFault(const Fault& fault)
{
    switch (fault.action) {
    case FaultAction::Wrong: return "wrong reply";
    case FaultAction::Silent: return "no reply";
    case FaultAction::Drop: return "link dropped";
    case FaultAction::Delay: return "reply delayed " + std::to_string(fault.delayMs) + " ms";
    case FaultAction::Short: return "short identification reply";
    case FaultAction::Nak: return "NAK";
    case FaultAction::Reset: return "link reset";
    }
    return "?";
}

std::string CFaultPlan::RandomFault(double what, double where)
{
    static const char* const kActions[] = {"wrong", "silent", "drop", "nak", "reset", "slow"};
    static const char* const kPoints[] = {"sync", "ident", "header-size", "header", "start", "record:1", "record:65"};
    const auto pick = [](double draw, std::size_t count) {
        return std::min(count - 1, static_cast<std::size_t>(draw * static_cast<double>(count)));
    };
    const std::string action = kActions[pick(what, std::size(kActions))];
    if (action == "slow")
        return "ack:delay:" + std::to_string(20 + static_cast<int>(where * 180));
    return std::string(kPoints[pick(where, std::size(kPoints))]) + ":" + action;
}

}  // namespace zorflash
