#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

// How long the window thread goes without handling events: a precise 1 ms timer on that
// thread, and the longest gap between two of its ticks while the meter runs. A gap is the
// time the thread spent on something else (a status request, a repaint, a stall) plus at
// most the timer's own millisecond.
class CStallMeter : public QObject {
    Q_OBJECT
public:
    explicit CStallMeter(QObject* parent = nullptr);

    void Start();
    void Stop();
    double LongestGapMs() const { return m_longestNs / 1e6; }
    long long Ticks() const { return m_ticks; }

private:
    void OnTick();

    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_lastNs = 0;
    qint64 m_longestNs = 0;
    long long m_ticks = 0;
};
