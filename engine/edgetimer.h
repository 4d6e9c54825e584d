#pragma once

#include <QObject>

#include <ctime>

class QSocketNotifier;

// Wakes its thread's event loop once at an absolute instant of CLOCK_MONOTONIC
// or CLOCK_REALTIME, to the nanosecond: a timer of whole milliseconds started
// "now" lands up to a millisecond off the frame edge and needs a second,
// precise sleep after it, which is two wake-ups per frame instead of one.
// A step of the real-time clock fires it at once, so the owner re-aims.
class EdgeTimer : public QObject
{
    Q_OBJECT
public:
    explicit EdgeTimer(QObject *parent = nullptr);
    ~EdgeTimer() override;

    // False when the kernel timer is not available; the owner then keeps to
    // its own timer.
    bool armAt(clockid_t clock, qint64 ns);
    void disarm();

signals:
    void fired();

private:
    struct Source {
        int fd = -1;
        QSocketNotifier *notifier = nullptr;
    };
    Source *sourceFor(clockid_t clock);
    void drain(int fd);

    Source m_monotonic;
    Source m_realtime;
};
