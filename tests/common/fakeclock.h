#pragma once

#include "clock.h"

// A clock the test moves by hand: wall clock and monotonic time advance
// together unless a test steps only the wall clock.
class FakeClock : public Clock
{
public:
    explicit FakeClock(const QDateTime &start = QDateTime(QDate(2026, 12, 6), QTime(10, 0)))
        : m_wall(start)
    {
    }
    QDateTime wallClock() const override { return m_wall; }
    qint64 monotonicMs() const override { return m_mono; }

    void advance(qint64 ms)
    {
        m_wall = m_wall.addMSecs(ms);
        m_mono += ms;
    }
    void stepWallClock(qint64 ms) { m_wall = m_wall.addMSecs(ms); }
    void setWallClock(const QDateTime &t) { m_wall = t; }

private:
    QDateTime m_wall;
    qint64 m_mono = 1000000;
};
