#pragma once

#include <QObject>

class QTimer;

// Base of the periodic workers (calculator, playlist). Each lives on a thread of
// its own; the timer is a child so it moves with the worker. A worker ends
// itself: slotStop -> stoped -> deleteLater -> destroyed -> thread quit.
class TimecodeTimer : public QObject
{
    Q_OBJECT
public:
    explicit TimecodeTimer(int intervalMs);
    ~TimecodeTimer() override;

    int interval() const { return m_interval; }
    bool isTimerActive() const;

    // Safe from any thread: queued to the worker's thread when called elsewhere.
    void requestStop();

signals:
    void stoped();

public slots:
    void slotStart();
    void slotStop();

protected slots:
    virtual void slotSendTimecodeTimeOut();

protected:
    // Sets the time to the next tick while the timer runs; the ticks after it
    // keep that period until it is set again.
    void setNextTick(int ms);
    // Milliseconds until the timer fires; -1 when it is not running.
    int msToNextTick() const;

private:
    QTimer *m_timer = nullptr;
    const int m_interval;
};
