#pragma once

#include "followedcode.h"

#include <QList>
#include <QPair>

// Frame positions within a day, so codes can be counted and compared. 30
// drop counts like 30 here, as the generator counts it.
namespace FollowFrames
{
int fps(quint8 type);
qint64 perDay(quint8 type);
qint64 index(const TimeCode &code);
TimeCode codeAt(qint64 index, quint8 type);
// Frames from `from` to `to`, the short way round midnight.
qint64 distance(qint64 from, qint64 to, quint8 type);
// Nanoseconds of `frames` frames, exact for any count (24 and 30 do not
// divide a second in whole nanoseconds).
qint64 ns(qint64 frames, quint8 type);
} // namespace FollowFrames

// What the generator does while it follows another clock, decided from the
// codes that come in and the time alone (no threads, no timers), so every
// rule can be tried with chosen instants:
//
// - Locked: each input code goes out at once, unless the grid already sent it.
//   A code that does not continue the run (a jump, a new rate) goes out at
//   once and is marked as a jump.
// - The grid: the instants at which the input's frames begin, learnt from
//   their arrivals. It sends the next code itself when the input has not by
//   then (a lost datagram, the second frame of a quarter-frame sequence, a
//   stopped input), so the count never stops between codes.
// - Freewheel: the input stopped; the grid counts on for the configured
//   frames, then the generator pauses, or runs on without limit.
// - Standby: the same, but Art-Net stays silent while the input comes, and
//   opens after the takeover frames went missing, on the grid, with the next
//   code. It closes at once when the primary (the first node followed, or
//   the configured one) sends again, or when another node that took over has
//   the lower address.
class FollowTracker
{
public:
    enum class State { Idle, NoInput, Locked, Freewheel, RunOn };
    enum class Event { None, Locked, Lost, Stopped, TookOver, PrimaryBack, PeerWins };

    struct Config {
        int freewheelFrames = 25;
        bool runOn = false;
        bool standby = false;
        int takeoverFrames = 3;
        // Art-Net sender to prefer (and, in standby, the primary); 0 for the first seen.
        quint32 primary = 0;
        // This machine's IPv4 addresses with their netmasks, for the tie of two standbys.
        QList<QPair<quint32, quint32>> ownAddresses;
    };

    struct Step {
        bool send = false;
        TimeCode code;
        bool jump = false;
    };

    void configure(const Config &config);
    const Config &config() const { return m_config; }

    // Following starts (no input yet) or ends.
    void start();
    void stop();

    Step input(const FollowedCode &in, qint64 now);
    // Call at nextWakeNs() or later; sends what the grid has due by `now`.
    Step tick(qint64 now);
    // When tick() has something to do; -1 for nothing.
    qint64 nextWakeNs() const;

    State state() const { return m_state; }
    // What changed at the last input() or tick(); None when nothing did.
    Event event() const { return m_event; }
    // The Art-Net sender followed now, or the primary in standby; 0 for none.
    quint32 source() const { return m_source; }
    quint32 primary() const { return m_primary; }
    bool hasTakenOver() const { return m_takenOver; }
    // Whether ArtTimeCode may go out: always, except in standby before takeover.
    bool sendsArtnet() const { return !m_config.standby || m_takenOver; }
    // No input to follow: nothing is sent, the generator should pause.
    bool wantsPause() const { return m_state == State::NoInput; }

private:
    bool acceptsFrom(quint32 source) const;
    bool losesTo(quint32 source) const;
    // Moves the grid so that frame `index` begins at `startNs`: at once when
    // that is earlier (a frame can arrive late, never early), slowly when later.
    void learnPhase(qint64 index, qint64 startNs);
    qint64 instantOf(qint64 index) const;
    qint64 slackNs() const;
    Step send(qint64 index, bool jump);
    void setState(State state, Event event);

    Config m_config;
    State m_state = State::Idle;
    Event m_event = Event::None;

    bool m_hasLast = false;
    qint64 m_lastIndex = 0;
    quint8 m_type = 0;
    qint64 m_anchorIndex = 0;
    qint64 m_anchorNs = 0;
    int m_period = 1;
    int m_framesWithoutInput = 0;
    quint32 m_source = 0;
    quint32 m_primary = 0;
    bool m_takenOver = false;
};
