#include "clock.h"

#include "timecode.h"

#include <cerrno>
#include <ctime>

namespace
{
// Waits longer than this are a timer's job, not a sleep's.
constexpr qint64 MaxPreciseWaitMs = 5;
// Farther than this, a deadline on the time of day is a clock step, not a wait.
constexpr qint64 MaxDeadlineMs = 5000;

// The local time's offset from universal time at the real-time instant
// `utcNs`, in seconds. localtime_r converts with the zone the C library last
// loaded, under the C library's zone lock, which every
// QDateTime::currentDateTime() on any thread also takes to check the zone
// again (a file system call). Offsets change only on quarter hours of
// universal time, so each thread keeps the offset of the quarter hour it is
// in and asks again once per quarter hour: the timing thread reads the time
// of day without that lock on all other frames.
qint64 localOffsetSeconds(qint64 utcNs)
{
    constexpr qint64 QuarterNs = qint64(15) * 60 * 1000000000;
    thread_local qint64 cachedQuarter = -1;
    thread_local qint64 cachedOffset = 0;
    const qint64 quarter = utcNs / QuarterNs;
    if (quarter == cachedQuarter)
        return cachedOffset;
    const time_t secs = time_t(utcNs / 1000000000);
    tm local{};
    cachedOffset = localtime_r(&secs, &local) ? local.tm_gmtoff : 0;
    cachedQuarter = quarter;
    return cachedOffset;
}

qint64 localNsOfDay(qint64 utcNs)
{
    const qint64 dayNs = TimeCodeMath::MsPerDay * 1000000;
    qint64 localNs = (utcNs + localOffsetSeconds(utcNs) * 1000000000) % dayNs;
    return localNs < 0 ? localNs + dayNs : localNs;
}
} // namespace

qint64 KernelClock::nowNs(clockid_t clock)
{
    timespec ts{};
    clock_gettime(clock, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

timespec KernelClock::toTimespec(qint64 ns)
{
    timespec ts{};
    ts.tv_sec = time_t(ns / 1000000000);
    ts.tv_nsec = long(ns % 1000000000);
    return ts;
}

// Absolute, not relative: a relative sleep would add the time spent between
// reading the clock and going to sleep.
void KernelClock::sleepUntilNs(clockid_t clock, qint64 ns)
{
    const timespec target = toTimespec(ns);
    // Bounded: each interruption by a signal resumes towards the same instant.
    for (int i = 0; i < 100 && clock_nanosleep(clock, TIMER_ABSTIME, &target, nullptr) == EINTR;
         ++i) {
    }
}

SystemClock::SystemClock() : m_start(std::chrono::steady_clock::now()) {}

QDateTime SystemClock::wallClock() const
{
    return QDateTime::currentDateTime();
}

qint64 SystemClock::wallMsOfDay() const
{
    return localNsOfDay(KernelClock::nowNs(CLOCK_REALTIME)) / 1000000;
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

bool SystemClock::monotonicDeadlineNs(qint64 ms, qint64 *ns) const
{
    // steady_clock is CLOCK_MONOTONIC on Linux.
    *ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
              (m_start + std::chrono::milliseconds(ms)).time_since_epoch())
              .count();
    return true;
}

bool SystemClock::wallDeadlineNs(qint64 msOfDay, qint64 *ns) const
{
    // One sample of the real-time clock, turned into the local time of day
    // with its sub-millisecond part; local offsets are whole seconds, so the
    // millisecond edges of local and universal time coincide.
    const qint64 utcNs = KernelClock::nowNs(CLOCK_REALTIME);
    const qint64 dayNs = TimeCodeMath::MsPerDay * 1000000;
    const qint64 localNs = localNsOfDay(utcNs);
    qint64 waitNs = (msOfDay * 1000000 - localNs) % dayNs;
    if (waitNs < 0)
        waitNs += dayNs;
    // An instant just passed is the nearest one, not the one a day later.
    if (waitNs > dayNs / 2)
        waitNs -= dayNs;
    if (waitNs > MaxDeadlineMs * 1000000 || waitNs < -MaxDeadlineMs * 1000000)
        return false; // a clock step moved it far away
    *ns = utcNs + waitNs;
    return true;
}

bool SystemClock::wallInstantNs(const QDateTime &when, qint64 *ns) const
{
    // CLOCK_REALTIME counts from the epoch in universal time, as QDateTime does.
    *ns = when.toMSecsSinceEpoch() * 1000000;
    return true;
}

void SystemClock::waitForMonotonicMs(qint64 ms) const
{
    qint64 targetNs = 0;
    monotonicDeadlineNs(ms, &targetNs);
    if (targetNs - KernelClock::nowNs(CLOCK_MONOTONIC) > MaxPreciseWaitMs * 1000000)
        return;
    KernelClock::sleepUntilNs(CLOCK_MONOTONIC, targetNs);
}

void SystemClock::waitForWallMsOfDay(qint64 msOfDay) const
{
    qint64 targetNs = 0;
    if (!wallDeadlineNs(msOfDay, &targetNs))
        return;
    const qint64 waitNs = targetNs - KernelClock::nowNs(CLOCK_REALTIME);
    if (waitNs < 0 || waitNs > MaxPreciseWaitMs * 1000000)
        return; // already past it
    KernelClock::sleepUntilNs(CLOCK_REALTIME, targetNs);
}

const Clock *SystemClock::instance()
{
    static const SystemClock clock;
    return &clock;
}
