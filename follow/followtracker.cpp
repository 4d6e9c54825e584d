#include "followtracker.h"

#include <algorithm>

namespace FollowFrames
{
int fps(quint8 type)
{
    return TimeCodeMath::framesPerSecond(TimeCodeFormat(type & 0x03));
}

qint64 perDay(quint8 type)
{
    return 24LL * 3600 * fps(type);
}

qint64 index(const TimeCode &code)
{
    return ((code.Hour * 60LL + code.Minute) * 60 + code.Seconds) * fps(code.Type) + code.Frame;
}

TimeCode codeAt(qint64 index, quint8 type)
{
    const int rate = fps(type);
    index %= perDay(type);
    if (index < 0)
        index += perDay(type);
    const qint64 seconds = index / rate;
    return TimeCode::make(quint8(seconds / 3600), quint8(seconds / 60 % 60), quint8(seconds % 60),
                          quint8(index % rate), type);
}

qint64 distance(qint64 from, qint64 to, quint8 type)
{
    const qint64 day = perDay(type);
    qint64 d = (to - from) % day;
    if (d < 0)
        d += day;
    return d > day / 2 ? d - day : d;
}

qint64 ns(qint64 frames, quint8 type)
{
    const qint64 product = frames * 1000000000LL;
    const int rate = fps(type);
    // Rounded towards minus infinity, so a frame's instant never moves by the sign of the count.
    return product >= 0 ? product / rate : -((-product + rate - 1) / rate);
}
} // namespace FollowFrames

namespace
{
// A frame the input owes is waited for this long past its instant before
// the grid sends it: an input that is a little late still drives the output
// (and a jump it brings is not preceded by a guessed frame), while a frame
// that does not come at all is sent hardly off the grid.
constexpr qint64 SlackNs = 2000000;
// Beyond this many frames from the grid's anchor, the anchor is moved on, so
// that counting for hours never turns the short way round midnight.
constexpr qint64 ReanchorFrames = 3600LL * 24;
} // namespace

using namespace FollowFrames;

void FollowTracker::configure(const Config &config)
{
    m_config = config;
    m_config.freewheelFrames = std::max(0, m_config.freewheelFrames);
    m_config.takeoverFrames = std::max(1, m_config.takeoverFrames);
    if (m_config.primary)
        m_primary = m_config.primary;
    if (!m_config.standby)
        m_takenOver = false;
}

void FollowTracker::start()
{
    m_hasLast = false;
    m_takenOver = false;
    m_source = 0;
    m_primary = m_config.primary;
    m_framesWithoutInput = 0;
    setState(State::NoInput, Event::None);
}

void FollowTracker::stop()
{
    m_takenOver = false;
    setState(State::Idle, Event::None);
}

void FollowTracker::setState(State state, Event event)
{
    m_state = state;
    m_event = event;
}

bool FollowTracker::acceptsFrom(quint32 source) const
{
    // While the followed sender is alive, another one is not followed, so two
    // senders on one network do not make the output jump between them; the
    // preferred one is always taken.
    return m_state != State::Locked || source == m_source || (m_primary && source == m_primary);
}

bool FollowTracker::losesTo(quint32 source) const
{
    for (const auto &[ip, mask] : m_config.ownAddresses)
        if ((ip & mask) == (source & mask))
            return source < ip;
    // Not on a network of ours: no comparison is fair, and two senders are worse than none.
    return true;
}

qint64 FollowTracker::instantOf(qint64 index) const
{
    return m_anchorNs + ns(distance(m_anchorIndex, index, m_type), m_type);
}

qint64 FollowTracker::slackNs() const
{
    // Only while the next frame is the input's own to bring; frames the grid
    // fills in by design, and frames of a stopped input, go out on the instant.
    if (m_state != State::Locked || m_framesWithoutInput + 1 != m_period)
        return 0;
    return std::min(SlackNs, ns(1, m_type) / 8);
}

void FollowTracker::learnPhase(qint64 index, qint64 startNs)
{
    const qint64 error = startNs - instantOf(index);
    if (error <= 0 || error > ns(1, m_type) / 2) {
        m_anchorIndex = index;
        m_anchorNs = startNs;
    } else {
        // Late by a little: the sender's clock may run slow, or this one
        // frame was held up on the way. Followed slowly, so one late arrival
        // hardly moves the grid.
        m_anchorNs += error / 8;
    }
}

FollowTracker::Step FollowTracker::send(qint64 index, bool jump)
{
    if (std::abs(distance(m_anchorIndex, index, m_type)) > ReanchorFrames) {
        m_anchorNs = instantOf(index);
        m_anchorIndex = index;
    }
    m_hasLast = true;
    m_lastIndex = index;
    Step step;
    step.send = true;
    step.code = codeAt(index, m_type);
    step.jump = jump;
    return step;
}

FollowTracker::Step FollowTracker::input(const FollowedCode &in, qint64 now)
{
    m_event = Event::None;
    if (m_state == State::Idle)
        return {};
    Event event = Event::None;
    if (m_config.standby && m_takenOver) {
        if (m_primary && in.source == m_primary)
            event = Event::PrimaryBack;
        else if (losesTo(in.source))
            event = Event::PeerWins;
        else
            return {}; // the other standby sees our lower address and falls silent
        m_takenOver = false;
    } else if (!acceptsFrom(in.source)) {
        return {};
    }

    // The code now running: an input may tell of a frame that began a while
    // ago (an LTC frame is read whole, a quarter-frame sequence takes two).
    const quint8 type = in.code.Type & 0x03;
    const qint64 late = std::max<qint64>(0, now - in.startNs);
    const qint64 elapsed = std::min<qint64>(late * fps(type) / 1000000000LL, perDay(type));
    const qint64 target = (index(in.code) + elapsed) % perDay(type);
    const qint64 targetStart = in.startNs + ns(elapsed, type);

    Step step;
    const bool sameRun = m_hasLast && m_state != State::NoInput && type == m_type;
    const qint64 ahead = sameRun ? distance(m_lastIndex, target, type) : 0;
    if (sameRun && ahead >= -2 && ahead <= 0) {
        // Sent already by the grid, or the grid is a frame or two ahead of a
        // late input: never sent twice, never sent backwards.
        learnPhase(target, targetStart);
    } else if (sameRun && ahead >= 1 && ahead <= 2) {
        learnPhase(target, targetStart);
        step = send(target, false);
    } else {
        // The first code, a jump or a new rate: followed at once, from here.
        m_type = type;
        m_anchorIndex = target;
        m_anchorNs = targetStart;
        step = send(target, true);
    }

    m_framesWithoutInput = 0;
    m_period = std::max(1, in.frames);
    m_source = in.source;
    if (m_config.standby && !m_primary)
        m_primary = in.source;
    if (m_state != State::Locked || event != Event::None)
        setState(State::Locked, event != Event::None ? event : Event::Locked);
    return step;
}

FollowTracker::Step FollowTracker::tick(qint64 now)
{
    m_event = Event::None;
    if (m_state == State::Idle || m_state == State::NoInput || !m_hasLast)
        return {};
    const qint64 next = (m_lastIndex + 1) % perDay(m_type);
    if (now < instantOf(next) + slackNs())
        return {};

    ++m_framesWithoutInput;
    // Frames the input owed and did not bring, this one included; a
    // quarter-frame input brings one code for every two frames.
    const int owed = m_framesWithoutInput - (m_period - 1);
    const bool freewheelOver = owed > m_config.freewheelFrames;
    const bool endless = m_config.runOn || m_config.standby;
    if (freewheelOver && !endless) {
        setState(State::NoInput, Event::Stopped);
        return {};
    }
    const Step step = send(next, false);
    // One frame late is the jitter of the input's path (audio and MIDI come
    // in periods); two are a lost input.
    if (owed >= 2 && m_state == State::Locked)
        setState(State::Freewheel, Event::Lost);
    if (freewheelOver && m_state == State::Freewheel)
        m_state = State::RunOn;
    // The takeover frames went missing: this frame is the first on the wire.
    if (m_config.standby && !m_takenOver && owed > m_config.takeoverFrames) {
        m_takenOver = true;
        m_event = Event::TookOver;
    }
    return step;
}

qint64 FollowTracker::nextWakeNs() const
{
    if (m_state == State::Idle || m_state == State::NoInput || !m_hasLast)
        return -1;
    return instantOf((m_lastIndex + 1) % perDay(m_type)) + slackNs();
}
