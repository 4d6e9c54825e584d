#include "clock.h"

#include "timecode.h"

#include <thread>

namespace
{
// Waits longer than this are a timer's job, not a sleep's.
constexpr qint64 MaxPreciseWaitMs = 5;
} // namespace

SystemClock::SystemClock() : m_start(std::chrono::steady_clock::now()) {}

QDateTime SystemClock::wallClock() const
{
    return QDateTime::currentDateTime();
}

qint64 SystemClock::monotonicMs() const
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 m_start)
        .count();
}

qint64 SystemClock::monotonicNs() const
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() -
                                                                m_start)
        .count();
}

void SystemClock::waitForMonotonicMs(qint64 ms) const
{
    const auto target = m_start + std::chrono::milliseconds(ms);
    if (target - std::chrono::steady_clock::now() > std::chrono::milliseconds(MaxPreciseWaitMs))
        return;
    std::this_thread::sleep_until(target);
}

void SystemClock::waitForWallMsOfDay(qint64 msOfDay) const
{
    using namespace std::chrono;
    // One sample of the real-time clock, turned into the local time of day
    // with its sub-millisecond part; local offsets are whole seconds, so the
    // millisecond edges of local and universal time coincide.
    const auto now = system_clock::now();
    const qint64 utcNs = duration_cast<nanoseconds>(now.time_since_epoch()).count();
    const qint64 offsetMs = qint64(QDateTime::currentDateTime().offsetFromUtc()) * 1000;
    const qint64 dayNs = TimeCodeMath::MsPerDay * 1000000;
    qint64 localNs = (utcNs + offsetMs * 1000000) % dayNs;
    if (localNs < 0)
        localNs += dayNs;
    qint64 waitNs = (msOfDay * 1000000 - localNs) % dayNs;
    if (waitNs < 0)
        waitNs += dayNs;
    if (waitNs > MaxPreciseWaitMs * 1000000)
        return; // already past it (or a clock step moved it far away)
    std::this_thread::sleep_until(now + nanoseconds(waitNs));
}

const Clock *SystemClock::instance()
{
    static const SystemClock clock;
    return &clock;
}
