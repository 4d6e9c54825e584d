#include "follower.h"

#include "edgetimer.h"
#include "timecodecalculator.h"

#include <chrono>

namespace
{
qint64 monotonicNow()
{
    // steady_clock is CLOCK_MONOTONIC on Linux, the clock the edge timer aims on.
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
} // namespace

Follower::Follower(TimecodeCalculator *calculator, Now now)
    : QObject(calculator), m_calculator(calculator), m_now(now ? std::move(now) : monotonicNow),
      m_edge(new EdgeTimer(this)), m_sink(std::make_shared<FollowSink>(this, "slotInput"))
{
    qRegisterMetaType<FollowedCode>();
    qRegisterMetaType<FollowStatus>();
    connect(m_edge, &EdgeTimer::fired, this, &Follower::slotTimer);
    // A grid instant is reached by a sleep after an early wake, as the
    // calculator's frame edges are.
    m_edge->setLeadNs(EdgeTimer::FrameLeadNs);
    // Same thread: the follower learns of a new source before the next tick.
    connect(calculator, &TimecodeCalculator::signalChangedFile, this, &Follower::slotChangedFile,
            Qt::DirectConnection);
    connect(calculator, &TimecodeCalculator::signalChangedPlayPause, this,
            &Follower::slotChangedPlayPause, Qt::DirectConnection);
}

Follower::~Follower()
{
    m_sink->detach();
}

std::shared_ptr<ArtnetGate> Follower::gate(const std::shared_ptr<FrameSender> &artnet)
{
    if (!m_gate)
        m_gate = std::make_shared<ArtnetGate>(artnet);
    return m_gate;
}

void Follower::configure(const FollowTracker::Config &config)
{
    QMetaObject::invokeMethod(
        this,
        [this, config]() {
            const bool inputChanged = config.primary != m_tracker.config().primary;
            m_tracker.configure(config);
            // Another sender to follow is a new start, not a jump of the old one.
            if (inputChanged && m_tracker.state() != FollowTracker::State::Idle)
                m_tracker.start();
            apply({});
        },
        Qt::QueuedConnection);
}

FollowStatus Follower::status() const
{
    FollowStatus status;
    status.active = m_tracker.state() != FollowTracker::State::Idle;
    status.state = m_tracker.state();
    status.event = m_tracker.event();
    status.source = m_tracker.source();
    status.standby = m_tracker.config().standby;
    status.primary = m_tracker.primary();
    status.takenOver = m_tracker.hasTakenOver();
    return status;
}

void Follower::slotInput(const FollowedCode &code)
{
    apply(m_tracker.input(code, m_now()));
}

void Follower::slotTimer()
{
    // Bounded: each round sends one frame, and only frames already due.
    for (int round = 0; round < 4; ++round) {
        const FollowTracker::Step step = m_tracker.tick(m_now());
        const bool stateChanged = m_tracker.event() != FollowTracker::Event::None;
        if (!step.send && !stateChanged)
            break;
        apply(step);
        if (!step.send)
            break;
    }
    schedule();
}

void Follower::slotChangedFile(int iFileNumber)
{
    if (iFileNumber == Place::Follow) {
        m_tracker.start();
        // Choosing to follow hands the play state to the input: a generator
        // paused before runs as soon as the input locks.
        m_pausedByFollow = m_calculator->isPaused();
    } else {
        m_tracker.stop();
        m_edge->disarm();
        m_pausedByFollow = false;
    }
    apply({});
}

void Follower::slotChangedPlayPause(bool bPause, bool bFreeze)
{
    Q_UNUSED(bPause)
    Q_UNUSED(bFreeze)
    // A pause or play from anyone else is the operator's: that is not undone here.
    if (!m_changingPause)
        m_pausedByFollow = false;
}

void Follower::setPause(bool pause)
{
    m_changingPause = true;
    m_calculator->setPause(pause);
    m_changingPause = false;
    m_pausedByFollow = pause;
}

void Follower::apply(const FollowTracker::Step &step)
{
    // Before the code: a standby that takes over sends this very frame, one
    // whose primary is back sends nothing more.
    if (m_gate)
        m_gate->setOpen(m_tracker.state() == FollowTracker::State::Idle || m_tracker.sendsArtnet());
    if (!m_tracker.wantsPause() && m_pausedByFollow && m_calculator->isPaused())
        setPause(false);
    if (step.send) {
        if (step.jump && m_calculator->isFollowing() && !m_calculator->isPaused() &&
            !m_calculator->isFrozen())
            emit signalLocate(step.code.Hour, step.code.Minute, step.code.Seconds, step.code.Frame,
                              step.code.Type);
        m_calculator->sendFollowedCode(step.code);
    }
    if (m_tracker.wantsPause() && !m_calculator->isPaused())
        setPause(true);
    publish();
    schedule();
}

void Follower::schedule()
{
    const qint64 wake = m_tracker.nextWakeNs();
    if (wake < 0)
        m_edge->disarm();
    else
        m_edge->armAt(CLOCK_MONOTONIC, wake);
}

void Follower::publish()
{
    const FollowStatus now = status();
    if (m_hasPublished && now == m_published)
        return;
    // Each transition is reported, even when the next one follows at once.
    m_published = now;
    m_hasPublished = true;
    emit signalStatus(now);
}
