#pragma once

#include <QObject>

#include <ctime>

class QSocketNotifier;

// Wakes its thread's event loop once at an absolute instant of CLOCK_MONOTONIC
// or CLOCK_REALTIME, to the nanosecond: a timer of whole milliseconds started
// "now" lands up to a millisecond off the frame edge and needs a second,
// precise sleep after it, which is two wake-ups per frame instead of one.
// A step of the real-time clock fires it at once, so the owner re-aims.
//
// With a lead, the kernel timer wakes the thread that much before the
// instant and the thread then blocks in an absolute sleep to the instant
// itself, as a plain sender loop does: whatever the event loop costs, and
// whatever it was busy with, falls inside the lead instead of on the edge.
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
    // How long before the instant the event loop is woken; 0 (the default)
    // fires straight from the event loop.
    void setLeadNs(qint64 ns) { m_leadNs = ns; }
    // The lead of the frame edges: a timer wake-up runs up to a millisecond
    // or so late.
    static constexpr qint64 FrameLeadNs = 2000000;

    // Frame after frame on the owner's thread: while held, armAt() only notes
    // the instant, and the thread sleeps to it itself (sleepToNoted), one
    // wake-up a frame instead of the kernel timer's lead wake-up and the
    // sleep after it. release() hands a noted instant to the kernel timer.
    void hold() { m_holding = true; }
    // False when no instant was noted or it lies farther than `maxNs` ahead
    // (a clock step, or a wait longer than a frame): the kernel timer's job.
    bool sleepToNoted(qint64 maxNs);
    void release();

signals:
    void fired();

private:
    struct Source {
        int fd = -1;
        QSocketNotifier *notifier = nullptr;
    };
    Source *sourceFor(clockid_t clock);
    void drain(int fd);
    qint64 nsToEdge() const;
    // Slept on the monotonic clock, whatever clock the edge is on: a step of
    // the real-time clock during the sleep cannot stretch it.
    static void sleepFor(qint64 ns);
    // The rest of the lead.
    void sleepToEdge();

    Source m_monotonic;
    Source m_realtime;
    qint64 m_leadNs = 0;
    clockid_t m_clock = CLOCK_MONOTONIC;
    qint64 m_edgeNs = 0;
    bool m_holding = false;
    bool m_noted = false;
};
