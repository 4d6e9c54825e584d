#include "clock.h"

SystemClock::SystemClock()
{
    m_elapsed.start();
}

QDateTime SystemClock::wallClock() const
{
    return QDateTime::currentDateTime();
}

qint64 SystemClock::monotonicMs() const
{
    return m_elapsed.elapsed();
}

const Clock *SystemClock::instance()
{
    static const SystemClock clock;
    return &clock;
}
