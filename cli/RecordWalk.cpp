#include "cli/RecordWalk.h"

CRecordWalk::Span CRecordWalk::Walk(const uint8_t* data, uint32_t length)
{
    Span span;
    span.section = m_section;
    span.first = m_next;
    uint32_t at = 0;
    while (at < length) {
        if (data[at] == 0) {
            span.endsSection = true;
            ++m_section;
            m_next = 0;
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
        ++m_next;
        ++m_total;
        at += kept;
    }
    return span;
}
