#include "StallMeter.h"

#include <algorithm>

CStallMeter::CStallMeter(QObject* parent)
    : QObject(parent)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(1);
    connect(&m_timer, &QTimer::timeout, this, &CStallMeter::OnTick);
}

void CStallMeter::Start()
{
    m_clock.start();
    m_lastNs = 0;
    m_longestNs = 0;
    m_ticks = 0;
    m_timer.start();
}

void CStallMeter::Stop()
{
    OnTick();  // a stall that lasted up to the end counts too
    m_timer.stop();
}

void CStallMeter::OnTick()
{
    const qint64 now = m_clock.nsecsElapsed();
    m_longestNs = std::max(m_longestNs, now - m_lastNs);
    m_lastNs = now;
    ++m_ticks;
}
