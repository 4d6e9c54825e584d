#include "timecodecalculator.h"

#include <QCoreApplication>
#include <QThread>

namespace
{
// How long before a frame edge the timer wakes the calculator; the rest is a
// precise wait. Timer wake-ups run up to a millisecond or so late.
constexpr qint64 EarlyWakeMs = EdgeTimer::FrameLeadNs / 1000000;
// With the kernel timer aimed at each change, the own timer only stands by in
// case that wake-up is lost; it fires at most this long after the change was
// due. It is moved on only when it comes within half of that, not every frame.
constexpr qint64 StandByMs = 300;
// Frames sent in a row on one wake-up each before the thread goes back to its
// event loop once (five seconds and more): its own timer and anything else
// that is not a queued call get their turn there.
constexpr int FramesPerRun = 128;
// The longest sleep to a frame edge the thread takes itself: a frame at
// 23.976 fps, with room to spare. A longer wait is the kernel timer's.
constexpr qint64 LongestSleepNs = 45000000;
} // namespace

TimecodeCalculator::TimecodeCalculator(const Clock *clock)
    : TimecodeTimer(1), m_clock(clock ? clock : SystemClock::instance()),
      m_place(new SettingStructItem), m_edge(new EdgeTimer(this))
{
    // Woken ahead of each edge, the thread sleeps the rest of the way.
    m_edge->setLeadNs(EdgeTimer::FrameLeadNs);
    connect(m_edge, &EdgeTimer::fired, this, &TimecodeCalculator::runFrames);
    m_startReference = m_clock->monotonicMs();
    m_pauseStart = m_startReference;
}

TimecodeCalculator::~TimecodeCalculator()
{
    delete m_place;
}

qint64 TimecodeCalculator::counterMs() const
{
    return TimeCodeMath::wrapDay(m_clock->monotonicMs() - m_startReference);
}

void TimecodeCalculator::setPause(bool pause)
{
    if (m_pause == pause)
        return;
    m_pause = pause;
    const qint64 now = m_clock->monotonicMs();
    if (!pause)
        m_startReference += now - m_pauseStart; // take the pause out of the counter
    else
        m_pauseStart = now;
    emit signalChangedPlayPause(m_pause, m_freeze);
}

qint64 TimecodeCalculator::sourceMs() const
{
    if (m_systemTime)
        return m_clock->wallMsOfDay();
    return counterMs();
}

void TimecodeCalculator::slotSendTimecodeTimeOut()
{
    if (isTimerActive())
        tickAndSchedule();
    else
        computeAndSend(sourceMs());
}

void TimecodeCalculator::computeAndSend(qint64 t)
{
    if (m_follow)
        return;
    // The end test runs before the send, so the last code sent for a place
    // is the last one computed at or before the end code's millisecond 000.
    if (!m_systemTime && m_placeIndex >= 0 && pastEndCode(t) && !m_pause) {
        setPause(true);
        m_placeIndex = -1;
        if (m_place->ExitAtEnd)
            emit signalClose();
    }

    emitCode(codeAt(t), msIntoFrame(t));
}

bool TimecodeCalculator::sendFollowedCode(const TimeCode &code)
{
    // The followed clock's code is sent as it arrives: its frame begins now.
    return m_follow && emitCode(code, 0);
}

bool TimecodeCalculator::emitCode(const TimeCode &code, qint64 frameAgeMs)
{
    if (code == m_lastCode)
        return false;
    m_lastCode = code;
    m_frameAgeMs = frameAgeMs;
    const bool sent = !m_freeze && !m_pause;
    if (sent) {
        // Sequentially consistent with setFrameSender: either it sees this
        // send under way and waits, or this send sees the new sender.
        m_sending.store(true);
        if (FrameSender *sender = m_activeSender.load())
            sender->sendFrame(code);
        m_sending.store(false);
        m_sentCode.store(quint64(code.Frame) | quint64(code.Seconds) << 8 |
                             quint64(code.Minute) << 16 | quint64(code.Hour) << 24 |
                             quint64(code.Type) << 32,
                         std::memory_order_relaxed);
    }
    // Only after the send does the rest of the program hear of the code.
    if (!m_handOffs.empty()) {
        FrameHandOff::Entry entry;
        entry.code = code;
        entry.sent = sent;
        entry.frameAgeMs = frameAgeMs;
        for (const auto &queue : m_handOffs)
            queue->post(entry);
    } else {
        if (sent)
            emit signalSendTimecodeTimeOut(code.Hour, code.Minute, code.Seconds, code.Frame,
                                           code.Type);
        emit signalArtnetCheckDmxIn();
    }
    return true;
}

TimeCode TimecodeCalculator::sentCode() const
{
    const quint64 packed = m_sentCode.load(std::memory_order_relaxed);
    return TimeCode::make(quint8(packed >> 24), quint8(packed >> 16), quint8(packed >> 8),
                          quint8(packed), quint8(packed >> 32));
}

void TimecodeCalculator::setFrameSender(std::shared_ptr<FrameSender> sender)
{
    QMutexLocker lock(&m_senderLock);
    m_activeSender.store(sender.get());
    // Bounded by one send, which never blocks (the sockets do not wait).
    while (m_sending.load())
        QThread::yieldCurrentThread();
    m_sender = std::move(sender);
}

qint64 TimecodeCalculator::msUntilNextChange(qint64 t) const
{
    qint64 wait;
    if (countsDropFrames()) {
        wait = dropFrameWait(t);
    } else {
        const int msec = int(t % 1000);
        const int frame = TimeCodeMath::frameOfMillisecond(msec, m_format);
        const int fps = TimeCodeMath::framesPerSecond(m_format);
        const int nextEdge =
            frame + 1 >= fps ? 1000 : TimeCodeMath::firstMsOfFrame(frame + 1, m_format);
        wait = nextEdge - msec;
    }
    if (!m_systemTime && m_placeIndex >= 0 && !m_pause && !pastEndCode(t)) {
        const qint64 untilPast =
            countsDropFrames() ? dropFrameEndElapsed() + 1 - TimeCodeMath::wrapDay(t - m_originMs)
                               : m_place->endMs() + 1 - t;
        wait = qMin(wait, untilPast);
    }
    return wait;
}

TimeCode TimecodeCalculator::codeAt(qint64 t) const
{
    if (!countsDropFrames())
        return TimeCodeMath::fromMsOfDay(t, m_format);
    if (m_systemTime)
        // A day of labels is 86.4 ms shorter than the day: the last label is
        // held until midnight, where the count starts again from the clock.
        return DropFrame::labelOfFrame(qMin(DropFrame::frameAtMs(t), DropFrame::FramesPerDay - 1));
    return DropFrame::labelOfFrame(m_originFrame +
                                   DropFrame::frameAtMs(TimeCodeMath::wrapDay(t - m_originMs)));
}

qint64 TimecodeCalculator::msIntoFrame(qint64 t) const
{
    if (countsDropFrames()) {
        const qint64 elapsed = m_systemTime ? t : TimeCodeMath::wrapDay(t - m_originMs);
        const qint64 frame = m_systemTime
                                 ? qMin(DropFrame::frameAtMs(elapsed), DropFrame::FramesPerDay - 1)
                                 : DropFrame::frameAtMs(elapsed);
        return qMax<qint64>(0, elapsed - DropFrame::firstMsOfFrame(frame));
    }
    const int msec = int(TimeCodeMath::wrapDay(t) % 1000);
    return msec -
           TimeCodeMath::firstMsOfFrame(TimeCodeMath::frameOfMillisecond(msec, m_format), m_format);
}

// Frame edges at 30000/1001 fall between milliseconds: each wait aims at the
// first whole millisecond of the next frame, computed from the frame count,
// so the edges never drift however long the code runs.
qint64 TimecodeCalculator::dropFrameWait(qint64 t) const
{
    if (m_systemTime) {
        const qint64 frame = DropFrame::frameAtMs(t);
        if (frame >= DropFrame::FramesPerDay - 1)
            return TimeCodeMath::MsPerDay - t;
        return DropFrame::firstMsOfFrame(frame + 1) - t;
    }
    const qint64 elapsed = TimeCodeMath::wrapDay(t - m_originMs);
    return qMin(DropFrame::firstMsOfFrame(DropFrame::frameAtMs(elapsed) + 1) - elapsed,
                TimeCodeMath::MsPerDay - elapsed);
}

qint64 TimecodeCalculator::dropFrameEndElapsed() const
{
    // The last legal label at or before the end code, which has no frames:
    // one before the first legal label after its frame 00.
    const TimeCode after =
        TimeCode::make(m_place->EndHour, m_place->EndMinute, m_place->EndSecond, 1, Frame30Drop);
    const qint64 endFrame = DropFrame::frameOfLabel(after) - 1;
    if (endFrame < m_originFrame)
        return -1;
    return DropFrame::firstMsOfFrame(endFrame - m_originFrame);
}

bool TimecodeCalculator::pastEndCode(qint64 t) const
{
    if (countsDropFrames())
        return TimeCodeMath::wrapDay(t - m_originMs) > dropFrameEndElapsed();
    return t > m_place->endMs();
}

void TimecodeCalculator::setOrigin(qint64 originMs, const TimeCode &label)
{
    m_originMs = TimeCodeMath::wrapDay(originMs);
    // A place that starts on a label the count leaves out starts on the next one.
    m_originFrame = DropFrame::frameOfLabel(label);
}

void TimecodeCalculator::tickAndSchedule()
{
    if (m_follow) {
        // The followed clock's own timing drives the frames; nothing to compute.
        m_edge->disarm();
        if (!m_standingBy)
            setNextTick(int(StandByMs));
        m_standingBy = true;
        return;
    }
    qint64 wait = 1;
    // Bounded: at most one precise wait per frame edge, and two edges can
    // never be less than a millisecond apart.
    for (int round = 0; round < 3; ++round) {
        // One reading serves the code, the next change and the wait's target,
        // so a frame edge can never fall between computing and scheduling.
        const qint64 mono = m_clock->monotonicMs();
        const qint64 t = m_systemTime ? sourceMs() : TimeCodeMath::wrapDay(mono - m_startReference);
        computeAndSend(t);
        wait = msUntilNextChange(t);
        // One wake-up per change, on its first microseconds.
        if (aimAtNextChange(mono, t, wait)) {
            // Set once, not moved each frame: moving a timer allocates.
            if (!m_standingBy)
                setNextTick(int(StandByMs));
            m_standingBy = true;
            return;
        }
        m_standingBy = false;
        if (wait > EarlyWakeMs)
            break;
        // The change is imminent: wait for it precisely.
        if (m_systemTime)
            m_clock->waitForWallMsOfDay(TimeCodeMath::wrapDay(t + wait));
        else
            m_clock->waitForMonotonicMs(mono + wait);
    }
    // Wake early: the timer's own lateness is absorbed by the precise wait,
    // never added to the frame.
    setNextTick(int(qMax<qint64>(1, wait - EarlyWakeMs)));
    m_standingBy = false;
}

// From one kernel timer wake-up on, the thread sleeps to each frame edge
// itself, as a plain sender loop does: one wake-up a frame. Between frames it
// runs what was queued for it (a click, a format, a stop), never on the edge;
// a change that asks for a tick at once ends the run, as does standing by.
void TimecodeCalculator::runFrames()
{
    m_edge->hold();
    for (int frame = 1; isTimerActive(); ++frame) {
        m_retick = false;
        tickAndSchedule();
        QCoreApplication::sendPostedEvents();
        if (frame >= FramesPerRun || m_retick || !isTimerActive() ||
            !m_edge->sleepToNoted(LongestSleepNs))
            break;
    }
    m_edge->release();
}

bool TimecodeCalculator::aimAtNextChange(qint64 mono, qint64 t, qint64 wait)
{
    qint64 ns = 0;
    if (m_systemTime)
        return m_clock->wallDeadlineNs(TimeCodeMath::wrapDay(t + wait), &ns) &&
               m_edge->armAt(CLOCK_REALTIME, ns);
    return m_clock->monotonicDeadlineNs(mono + wait, &ns) && m_edge->armAt(CLOCK_MONOTONIC, ns);
}

void TimecodeCalculator::tickSoon()
{
    m_retick = true;
    m_standingBy = false;
    setNextTick(1);
}

void TimecodeCalculator::slotChangedFile(SettingStructItem *stSettingItem, int iFileNumber)
{
    if (iFileNumber == Place::Follow) {
        // Whoever feeds the codes runs or pauses the generator as its input comes and goes.
        m_systemTime = false;
        m_follow = true;
        emit signalChangedFile(iFileNumber);
    } else if (iFileNumber == Place::SystemTime) {
        m_systemTime = true;
        m_follow = false;
        emit signalChangedFile(iFileNumber);
        setPause(false);
    } else if (Place::isStoredPlace(iFileNumber)) {
        m_systemTime = false;
        m_follow = false;
        if (stSettingItem) {
            SettingStructItem::copy(stSettingItem, m_place);
            emit signalChangedFile(iFileNumber);
            m_placeIndex = iFileNumber;
            setPause(false);
            m_startReference = m_clock->monotonicMs() - m_place->startMs();
            setOrigin(m_place->startMs(), TimeCode::make(m_place->StartHour, m_place->StartMinute,
                                                         m_place->StartSecond, 0, Frame30Drop));
        }
    }
    // The record was handed over with the signal and is ours to release.
    delete stSettingItem;
    tickSoon();
}

void TimecodeCalculator::slotChangedTimeReset()
{
    const qint64 now = m_clock->monotonicMs();
    m_startReference = now;
    if (m_pause)
        m_pauseStart = now; // resuming then starts from 00:00:00:00
    setOrigin(0, TimeCode());
    emit signalChangedTimeReset();
    tickSoon();
}

void TimecodeCalculator::slotChangedFreeze()
{
    m_freeze = !m_freeze;
    emit signalChangedFreeze(m_pause, m_freeze);
    tickSoon();
}

void TimecodeCalculator::slotChangedPlayPause()
{
    setPause(!m_pause);
    tickSoon();
}

void TimecodeCalculator::slotChangedFrames(TimeCodeFormat FrameType)
{
    m_format = FrameType;
    tickSoon();
}

void TimecodeCalculator::slotChangedFrame24()
{
    slotChangedFrames(Frame24);
}

void TimecodeCalculator::slotChangedFrame25()
{
    slotChangedFrames(Frame25);
}

void TimecodeCalculator::slotChangedFrame30()
{
    slotChangedFrames(Frame30);
}

void TimecodeCalculator::slotChangedFrame30Drop()
{
    slotChangedFrames(Frame30Drop);
}

void TimecodeCalculator::slotChangedTrueDropFrame(bool on)
{
    m_trueDropFrame = on;
    tickSoon();
}
