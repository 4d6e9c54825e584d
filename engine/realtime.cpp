#include "realtime.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace
{
// CAP_SYS_NICE is bit 23 of the effective set; read from /proc so that no
// capability library is needed for one bit.
bool hasSysNice()
{
    FILE *status = std::fopen("/proc/self/status", "r");
    if (!status)
        return false;
    char line[256];
    unsigned long long effective = 0;
    bool found = false;
    while (!found && std::fgets(line, sizeof line, status))
        found = std::sscanf(line, "CapEff: %llx", &effective) == 1;
    std::fclose(status);
    return found && (effective >> 23) & 1;
}
} // namespace

namespace RealTime
{
int grantablePriority(bool privileged, long rtprioLimit)
{
    if (privileged)
        return ModestPriority;
    if (rtprioLimit <= 0)
        return 0;
    return int(std::min<long>(rtprioLimit, ModestPriority));
}

Outcome promoteCurrentThread(int below)
{
    rlimit limit{};
    const long rtprio = getrlimit(RLIMIT_RTPRIO, &limit) == 0
                            ? (limit.rlim_cur == RLIM_INFINITY ? 99 : long(limit.rlim_cur))
                            : 0;
    const int granted = grantablePriority(geteuid() == 0 || hasSysNice(), rtprio);
    const int priority = granted > 0 ? std::max(1, granted - below) : 0;
    Outcome outcome;
    if (priority > 0) {
        sched_param param{};
        param.sched_priority = priority;
        // The check above is only a forecast: a container may still refuse.
        outcome.realTime = pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0;
    }
    outcome.priority = outcome.realTime ? priority : 0;
    outcome.text =
        outcome.realTime
            ? QStringLiteral("timing thread: real-time scheduling (SCHED_FIFO %1)").arg(priority)
            : QStringLiteral("timing thread: normal scheduling (real-time not permitted)");
    return outcome;
}
} // namespace RealTime
