#pragma once

#include "followedcode.h"
#include "followtracker.h"
#include "framesender.h"

#include <QObject>

#include <atomic>
#include <functional>
#include <memory>

class EdgeTimer;
class TimecodeCalculator;

// What the follower tells the operator, whenever it changes.
struct FollowStatus {
    bool active = false; // the source "follow" is selected
    FollowTracker::State state = FollowTracker::State::Idle;
    FollowTracker::Event event = FollowTracker::Event::None;
    quint32 source = 0; // the Art-Net sender followed, 0 for none or another input
    bool standby = false;
    quint32 primary = 0;
    bool takenOver = false;

    bool operator==(const FollowStatus &o) const
    {
        return active == o.active && state == o.state && event == o.event && source == o.source &&
               standby == o.standby && primary == o.primary && takenOver == o.takenOver;
    }
    bool operator!=(const FollowStatus &o) const { return !(*this == o); }
};
Q_DECLARE_METATYPE(FollowStatus)

// Lets ArtTimeCode out only while it is open: a standby stays silent on
// Art-Net until it takes over, while its other outputs follow all along.
class ArtnetGate : public FrameSender
{
public:
    explicit ArtnetGate(std::shared_ptr<FrameSender> inner) : m_inner(std::move(inner)) {}
    void sendFrame(const TimeCode &code) override
    {
        if (m_open.load(std::memory_order_acquire) && m_inner)
            m_inner->sendFrame(code);
    }
    void setOpen(bool open) { m_open.store(open, std::memory_order_release); }
    bool isOpen() const { return m_open.load(std::memory_order_acquire); }

private:
    const std::shared_ptr<FrameSender> m_inner;
    std::atomic<bool> m_open{true};
};

// Runs the calculator from another clock: lives on the calculator's thread
// (a child of it), takes the inputs' codes, and hands the code to send to the
// calculator's frame path, on arrival or on the grid the tracker keeps (woken
// by a kernel timer aimed at the grid's next instant). It pauses the
// generator when the input is gone and runs it again when it returns, but
// leaves a pause the operator made alone. See FollowTracker for the rules.
class Follower : public QObject
{
    Q_OBJECT
public:
    using Now = std::function<qint64()>;

    // `now` reads CLOCK_MONOTONIC in nanoseconds unless a test gives its own.
    explicit Follower(TimecodeCalculator *calculator, Now now = Now());
    ~Follower() override;

    // Where the inputs deliver; detached when the follower goes.
    std::shared_ptr<FollowSink> sink() const { return m_sink; }
    // The Art-Net output as the calculator should hold it.
    std::shared_ptr<ArtnetGate> gate(const std::shared_ptr<FrameSender> &artnet);

    // Safe from any thread: takes effect on the follower's thread.
    void configure(const FollowTracker::Config &config);

    const FollowTracker &tracker() const { return m_tracker; }
    FollowStatus status() const;

signals:
    // A code that does not continue the last one is about to go out: MIDI
    // receivers need a full frame to locate to it.
    void signalLocate(quint8 Hour, quint8 Minute, quint8 Seconds, quint8 Frame, quint8 Type);
    void signalStatus(const FollowStatus &status);

public slots:
    void slotInput(const FollowedCode &code);
    // The calculator's source changed: following starts at -4, ends otherwise.
    void slotChangedFile(int iFileNumber);
    void slotChangedPlayPause(bool bPause, bool bFreeze);
    void slotTimer();

private:
    void apply(const FollowTracker::Step &step);
    void setPause(bool pause);
    void schedule();
    void publish();

    TimecodeCalculator *m_calculator;
    Now m_now;
    FollowTracker m_tracker;
    EdgeTimer *m_edge = nullptr;
    std::shared_ptr<FollowSink> m_sink;
    std::shared_ptr<ArtnetGate> m_gate;
    bool m_pausedByFollow = false;
    bool m_changingPause = false;
    FollowStatus m_published;
    bool m_hasPublished = false;
};
