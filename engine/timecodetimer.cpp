#include "timecodetimer.h"

#include <QTimer>

TimecodeTimer::TimecodeTimer(int intervalMs) : QObject(nullptr), m_interval(intervalMs)
{
    m_timer = new QTimer(this);
    // A coarse timer may be off by 5 % of its interval; the calculator's 1 ms
    // tick bounds how late a frame leaves, so short intervals need a precise one.
    m_timer->setTimerType(intervalMs < 1000 ? Qt::PreciseTimer : Qt::CoarseTimer);
    connect(m_timer, &QTimer::timeout, this, &TimecodeTimer::slotSendTimecodeTimeOut);
}

TimecodeTimer::~TimecodeTimer()
{
    delete m_timer;
    m_timer = nullptr;
}

bool TimecodeTimer::isTimerActive() const
{
    return m_timer && m_timer->isActive();
}

void TimecodeTimer::requestStop()
{
    QMetaObject::invokeMethod(this, "slotStop", Qt::AutoConnection);
}

void TimecodeTimer::slotStart()
{
    m_timer->start(m_interval);
}

void TimecodeTimer::slotStop()
{
    m_timer->stop();
    emit stoped();
}

void TimecodeTimer::slotSendTimecodeTimeOut() {}

void TimecodeTimer::setNextTick(int ms)
{
    if (m_timer->isActive())
        m_timer->start(ms);
}

int TimecodeTimer::msToNextTick() const
{
    return m_timer->remainingTime();
}
