#pragma once

#include <QDateTime>
#include <QElapsedTimer>

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
};

class SystemClock : public Clock
{
public:
    SystemClock();
    QDateTime wallClock() const override;
    qint64 monotonicMs() const override;

    // One shared instance for everything that does not inject its own.
    static const Clock *instance();

private:
    QElapsedTimer m_elapsed;
};
