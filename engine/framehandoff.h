#pragma once

#include "timecode.h"

#include <QObject>

#include <array>
#include <atomic>
#include <memory>

class QSocketNotifier;

// Hands each new code from the timing thread to the rest of the program. A
// queued signal would allocate an event per receiver on the timing thread
// and take the receiving threads' queue locks; here the timing thread only
// writes a slot of a fixed ring and bumps an eventfd, and the hand-off
// object, on the thread of those it feeds (an output's, or the window's),
// emits the signals they listen to there, as direct calls.
class FrameHandOff : public QObject
{
    Q_OBJECT
public:
    struct Entry {
        enum Kind : quint8 { Frame, Locate };
        TimeCode code;
        Kind kind = Frame;
        // Frame: whether the code went out (not paused or frozen), and how
        // far into its frame it was computed.
        bool sent = false;
        qint64 frameAgeMs = 0;
    };

    // One producer (the timing thread), one consumer (the hand-off's thread).
    // Shared by both ends, so a frame posted while the hand-off object is
    // going away still lands in memory that is there.
    class Queue
    {
    public:
        Queue();
        ~Queue();
        Queue(const Queue &) = delete;
        Queue &operator=(const Queue &) = delete;

        static constexpr quint32 Size = 64; // over two seconds of frames

        // No lock, no allocation. False when nobody listens (nothing is
        // posted), or when the consumer is a whole ring behind (counted: the
        // newest entry is the one left out).
        bool post(const Entry &entry);
        bool take(Entry *entry);
        int descriptor() const { return m_fd; }
        // Whether anyone listens at the other end; a frame nobody hears is
        // not posted, so the hand-off's thread is never woken for it. One counter,
        // so a connect and a disconnect on two threads cannot leave it saying
        // "nobody" while someone listens.
        bool wanted() const { return m_listeners.load(std::memory_order_relaxed) > 0; }
        void addListener() { m_listeners.fetch_add(1, std::memory_order_relaxed); }
        void removeListener() { m_listeners.fetch_sub(1, std::memory_order_relaxed); }
        void removeAllListeners() { m_listeners.store(0, std::memory_order_relaxed); }
        quint64 dropped() const { return m_dropped.load(std::memory_order_relaxed); }

    private:
        std::array<Entry, Size> m_entries{};
        std::atomic<quint32> m_head{0}; // next to write, producer's
        std::atomic<quint32> m_tail{0}; // next to read, consumer's
        std::atomic<quint64> m_dropped{0};
        std::atomic<int> m_listeners{0};
        int m_fd = -1;
    };

    FrameHandOff();
    ~FrameHandOff() override;

    std::shared_ptr<Queue> queue() const { return m_queue; }
    // How far into its frame the code being handed on was computed; read by
    // receivers connected directly, while signalSendTimecodeTimeOut runs.
    qint64 frameAgeMs() const { return m_frameAgeMs; }

public slots:
    // On the hand-off's thread, once it runs.
    void slotStart();

signals:
    void signalSendTimecodeTimeOut(quint8 Hour, quint8 Minute, quint8 Sec, quint8 Frame,
                                   quint8 Type);
    void signalArtnetCheckDmxIn();
    // A jump of a followed clock, in order with the codes around it.
    void signalLocate(quint8 Hour, quint8 Minute, quint8 Seconds, quint8 Frame, quint8 Type);

protected:
    void connectNotify(const QMetaMethod &signal) override;
    void disconnectNotify(const QMetaMethod &signal) override;

private:
    void deliver();
    static bool isFrameSignal(const QMetaMethod &signal);

    std::shared_ptr<Queue> m_queue;
    QSocketNotifier *m_notifier = nullptr;
    qint64 m_frameAgeMs = 0;
};
