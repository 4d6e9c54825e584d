#include "receivestamp.h"

#include "clock.h"

#include <linux/sockios.h>
#include <sys/ioctl.h>

namespace
{
constexpr qint64 NsPerSecond = 1000000000;

// Both clocks at one instant: the wall clock between two monotonic readings,
// the closest pair of three, so a preemption between two readings does not
// count as time.
void readBoth(qint64 &realNs, qint64 &monotonicNs)
{
    qint64 bestSpan = -1;
    for (int i = 0; i < 3; ++i) {
        const qint64 before = KernelClock::nowNs(CLOCK_MONOTONIC);
        const qint64 real = KernelClock::nowNs(CLOCK_REALTIME);
        const qint64 after = KernelClock::nowNs(CLOCK_MONOTONIC);
        if (bestSpan < 0 || after - before < bestSpan) {
            bestSpan = after - before;
            realNs = real;
            monotonicNs = before + (after - before) / 2;
        }
    }
}
} // namespace

namespace ReceiveStamp
{
void enable(qintptr socket)
{
    // The first request switches stamping on; it has no stamp to give yet.
    timespec t{};
    ioctl(int(socket), SIOCGSTAMPNS, &t);
}

qint64 lastArrivalNs(qintptr socket)
{
    timespec t{};
    if (ioctl(int(socket), SIOCGSTAMPNS, &t) != 0)
        return KernelClock::nowNs(CLOCK_MONOTONIC);
    qint64 realNs = 0;
    qint64 monotonicNs = 0;
    readBoth(realNs, monotonicNs);
    return toMonotonic(qint64(t.tv_sec) * NsPerSecond + t.tv_nsec, realNs, monotonicNs);
}

qint64 toMonotonic(qint64 stampRealNs, qint64 realNowNs, qint64 monotonicNowNs)
{
    const qint64 age = realNowNs - stampRealNs;
    if (age < 0 || age > NsPerSecond)
        return monotonicNowNs;
    return monotonicNowNs - age;
}
} // namespace ReceiveStamp
