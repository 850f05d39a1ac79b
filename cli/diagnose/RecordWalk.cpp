#include "cli/diagnose/RecordWalk.h"

namespace zorflash {

CRecordWalk::Span CRecordWalk::Peek(const uint8_t* data, uint32_t length) const
{
    Span span;
    span.section = m_section;
    span.first = m_next;
    uint32_t at = 0;
    uint64_t sinceEnd = 0;  // records behind the last END byte of the write
    while (at < length) {
        if (data[at] == 0) {
            span.endsSection = true;
            ++span.ends;
            sinceEnd = 0;
            ++at;
            continue;
        }
        const uint32_t size = 2u * data[at] + 2u;
        const uint32_t kept = size <= length - at ? size : length - at;
        if (span.records == 0)
            span.firstLength = kept;
        span.lastOffset = at;
        span.lastLength = kept;
        ++span.records;
        ++sinceEnd;
        at += kept;
    }
    span.nextAfter = span.ends > 0 ? sinceEnd : m_next + span.records;
    return span;
}

void CRecordWalk::Commit(const Span& span)
{
    m_section += span.ends;
    m_next = span.nextAfter;
    m_total += span.records;
}

CRecordWalk::Span CRecordWalk::Walk(const uint8_t* data, uint32_t length)
{
    const Span span = Peek(data, length);
    Commit(span);
    return span;
}

}  // namespace zorflash
