#pragma once

#include <QDateTime>

#include <chrono>
#include <ctime>

// The kernel's clocks in nanoseconds, for the timing thread's own waits.
namespace KernelClock
{
qint64 nowNs(clockid_t clock);
timespec toTimespec(qint64 ns);
// Sleeps to an absolute instant of `clock`.
void sleepUntilNs(clockid_t clock, qint64 ns);
} // namespace KernelClock

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
    // The wall clock's millisecond of the local day, read once per frame.
    virtual qint64 wallMsOfDay() const { return wallClock().time().msecsSinceStartOfDay(); }

    // Block until monotonicMs() has reached `ms`, or until the wall clock's
    // time of day has reached millisecond `msOfDay`. Used to leave a frame on
    // its first millisecond rather than up to a timer period later; a clock
    // that tests move by hand does not wait.
    virtual void waitForMonotonicMs(qint64 ms) const { Q_UNUSED(ms) }
    virtual void waitForWallMsOfDay(qint64 msOfDay) const { Q_UNUSED(msOfDay) }

    // The kernel's reading of CLOCK_MONOTONIC (or CLOCK_REALTIME) at which
    // monotonicMs() reaches `ms` (or the time of day reaches `msOfDay`, the
    // nearest such instant within a few seconds), so that a kernel timer can
    // wake the caller exactly there. False for a clock that tests move by hand.
    virtual bool monotonicDeadlineNs(qint64 ms, qint64 *ns) const
    {
        Q_UNUSED(ms)
        Q_UNUSED(ns)
        return false;
    }
    virtual bool wallDeadlineNs(qint64 msOfDay, qint64 *ns) const
    {
        Q_UNUSED(msOfDay)
        Q_UNUSED(ns)
        return false;
    }
    // The kernel's reading of CLOCK_REALTIME at which wallClock() shows
    // `when`, however far ahead; a kernel timer aimed there wakes on that
    // wall-clock instant even across a clock step. False for a clock that
    // tests move by hand.
    virtual bool wallInstantNs(const QDateTime &when, qint64 *ns) const
    {
        Q_UNUSED(when)
        Q_UNUSED(ns)
        return false;
    }
};

class SystemClock : public Clock
{
public:
    SystemClock();
    QDateTime wallClock() const override;
    qint64 monotonicMs() const override;
    qint64 wallMsOfDay() const override;
    void waitForMonotonicMs(qint64 ms) const override;
    void waitForWallMsOfDay(qint64 msOfDay) const override;
    bool monotonicDeadlineNs(qint64 ms, qint64 *ns) const override;
    bool wallDeadlineNs(qint64 msOfDay, qint64 *ns) const override;
    bool wallInstantNs(const QDateTime &when, qint64 *ns) const override;
    // The monotonic reading at full resolution, for measurements.
    qint64 monotonicNs() const;

    // One shared instance for everything that does not inject its own.
    static const Clock *instance();

private:
    std::chrono::steady_clock::time_point m_start;
};
