#include "edgetimer.h"

#include "clock.h"

#include <QSocketNotifier>

#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

EdgeTimer::EdgeTimer(QObject *parent) : QObject(parent) {}

EdgeTimer::~EdgeTimer()
{
    for (Source *source : {&m_monotonic, &m_realtime}) {
        delete source->notifier;
        if (source->fd >= 0)
            ::close(source->fd);
    }
}

EdgeTimer::Source *EdgeTimer::sourceFor(clockid_t clock)
{
    Source *source = clock == CLOCK_REALTIME ? &m_realtime : &m_monotonic;
    if (source->fd >= 0)
        return source;
    source->fd = timerfd_create(clock, TFD_NONBLOCK | TFD_CLOEXEC);
    if (source->fd < 0)
        return nullptr;
    source->notifier = new QSocketNotifier(source->fd, QSocketNotifier::Read, this);
    const int fd = source->fd;
    connect(source->notifier, &QSocketNotifier::activated, this, [this, fd]() {
        drain(fd);
        if (m_leadNs > 0)
            sleepToEdge();
        emit fired();
    });
    return source;
}

void EdgeTimer::drain(int fd)
{
    // Reading clears the expiry; a cancelled real-time timer answers ECANCELED,
    // which also clears it. Bounded: the descriptor is non-blocking.
    std::uint64_t expirations = 0;
    for (int i = 0; i < 4 && ::read(fd, &expirations, sizeof expirations) < 0 && errno == EINTR;
         ++i) {
    }
}

qint64 EdgeTimer::nsToEdge() const
{
    return m_edgeNs - KernelClock::nowNs(m_clock);
}

void EdgeTimer::sleepFor(qint64 ns)
{
    KernelClock::sleepUntilNs(CLOCK_MONOTONIC, KernelClock::nowNs(CLOCK_MONOTONIC) + ns);
}

void EdgeTimer::sleepToEdge()
{
    const qint64 remaining = nsToEdge();
    // Past the edge already, or a clock step moved it: the owner re-aims.
    if (remaining <= 0 || remaining > m_leadNs + 1000000)
        return;
    sleepFor(remaining);
}

bool EdgeTimer::sleepToNoted(qint64 maxNs)
{
    if (!m_noted)
        return false;
    const qint64 remaining = nsToEdge();
    if (remaining > maxNs)
        return false;
    m_noted = false;
    if (remaining > 0)
        sleepFor(remaining);
    return true;
}

void EdgeTimer::release()
{
    m_holding = false;
    if (m_noted) {
        m_noted = false;
        armAt(m_clock, m_edgeNs);
    }
}

bool EdgeTimer::armAt(clockid_t clock, qint64 ns)
{
    Source *source = sourceFor(clock);
    if (!source)
        return false;
    if (m_holding) {
        m_clock = clock;
        m_edgeNs = ns;
        m_noted = true;
        return true;
    }
    // Only one of the two may be pending: the owner aims at one clock at a time.
    Source *other = source == &m_realtime ? &m_monotonic : &m_realtime;
    if (other->fd >= 0) {
        const itimerspec off{};
        timerfd_settime(other->fd, 0, &off, nullptr);
    }
    m_clock = clock;
    m_edgeNs = ns;
    ns -= m_leadNs;
    itimerspec due{};
    // An instant at or before the epoch would disarm the timer; one past is due at once.
    if (ns < 1)
        ns = 1;
    due.it_value = KernelClock::toTimespec(ns);
    int flags = TFD_TIMER_ABSTIME;
    if (clock == CLOCK_REALTIME)
        flags |= TFD_TIMER_CANCEL_ON_SET;
    return timerfd_settime(source->fd, flags, &due, nullptr) == 0;
}

void EdgeTimer::disarm()
{
    m_noted = false;
    const itimerspec off{};
    for (Source *source : {&m_monotonic, &m_realtime})
        if (source->fd >= 0)
            timerfd_settime(source->fd, 0, &off, nullptr);
}
