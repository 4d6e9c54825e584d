#pragma once

#include <QDateTime>

#include <chrono>

// Where the workers read "now". The wall clock gives the time of day for the
// system-time source and the playlist; the monotonic clock measures elapsed
// time for the counters, so a clock step (daylight saving, time sync) during a
// show does not make a running place jump.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime wallClock() const = 0;
    virtual qint64 monotonicMs() const = 0;

    // Block until monotonicMs() has reached `ms`, or until the wall clock's
    // time of day has reached millisecond `msOfDay`. Used to leave a frame on
    // its first millisecond rather than up to a timer period later; a clock
    // that tests move by hand does not wait.
    virtual void waitForMonotonicMs(qint64 ms) const { Q_UNUSED(ms) }
    virtual void waitForWallMsOfDay(qint64 msOfDay) const { Q_UNUSED(msOfDay) }
};

class SystemClock : public Clock
{
public:
    SystemClock();
    QDateTime wallClock() const override;
    qint64 monotonicMs() const override;
    void waitForMonotonicMs(qint64 ms) const override;
    void waitForWallMsOfDay(qint64 msOfDay) const override;
    // The monotonic reading at full resolution, for measurements.
    qint64 monotonicNs() const;

    // One shared instance for everything that does not inject its own.
    static const Clock *instance();

private:
    std::chrono::steady_clock::time_point m_start;
};
