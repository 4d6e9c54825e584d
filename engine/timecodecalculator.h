#pragma once

#include "clock.h"
#include "dropframe.h"
#include "edgetimer.h"
#include "framehandoff.h"
#include "framesender.h"
#include "timecode.h"
#include "timecodetimer.h"

#include <QMutex>

#include <atomic>
#include <memory>
#include <vector>

// The generator. Ticks every millisecond on its own thread, derives the code
// from the wall clock (place 0) or from a counter started at a place's start
// code, and emits it once per frame: whenever it differs from the previous
// computed code and the output is neither paused nor frozen.
class TimecodeCalculator : public TimecodeTimer
{
    Q_OBJECT
public:
    explicit TimecodeCalculator(const Clock *clock = SystemClock::instance());
    ~TimecodeCalculator() override;

    // The one place where the pause flag changes. Also called directly by the
    // main window before the calculator's thread starts.
    void setPause(bool pause);

    bool isPaused() const { return m_pause; }
    bool isFrozen() const { return m_freeze; }
    bool isSystemTime() const { return m_systemTime; }
    // The source is another clock: codes come only through sendFollowedCode.
    bool isFollowing() const { return m_follow; }
    TimeCodeFormat format() const { return m_format; }
    bool isTrueDropFrame() const { return m_trueDropFrame; }
    int placeIndex() const { return m_placeIndex; }
    TimeCode lastCode() const { return m_lastCode; }
    // The code that went out last (00:00:00:00 before the first), readable
    // from any thread: a remote's status asks for it without waking this one.
    TimeCode sentCode() const;
    // How far into its frame the code last emitted was computed, in ms; on
    // this thread only. Codes go out on their frame's edge, except the first
    // after a start or a change of source, which goes at once: an output that
    // keeps a frame grid (LTC) takes its grid from when the frame began.
    qint64 frameAgeMs() const { return m_frameAgeMs; }

    // An output served on this thread before the code signal is emitted; null
    // for none. Safe from any thread: a send in progress finishes first, and
    // no frame reaches the old sender after the call returns.
    void setFrameSender(std::shared_ptr<FrameSender> sender);

    // Where the codes go on after the send, instead of this object's own
    // signals: the queues of FrameHandOffs on other threads, each told every
    // code. Set before this object's thread starts.
    void addHandOff(std::shared_ptr<FrameHandOff::Queue> queue)
    {
        m_handOffs.push_back(std::move(queue));
    }

    // While following, the frame path for a code another clock gave: sent as
    // a computed code is (not twice in a row, not while paused or frozen).
    // On this thread only. False when the code did not count as a new one.
    bool sendFollowedCode(const TimeCode &code);

signals:
    void signalChangedPlayPause(bool bPause, bool bFreeze);
    void signalChangedFreeze(bool bPause, bool bFreeze);
    void signalChangedFile(int iFileNumber);
    void signalChangedTimeReset();
    void signalSendTimecodeTimeOut(quint8 Hour, quint8 Minute, quint8 Sec, quint8 Frame,
                                   quint8 Type);
    void signalArtnetCheckDmxIn();
    void signalClose();

public slots:
    void slotChangedFile(SettingStructItem *stSettingItem, int iFileNumber);
    void slotChangedTimeReset();
    void slotSendTimecodeTimeOut() override;
    void slotChangedFreeze();
    void slotChangedPlayPause();
    void slotChangedFrames(TimeCodeFormat FrameType);
    void slotChangedFrame24();
    void slotChangedFrame25();
    void slotChangedFrame30();
    void slotChangedFrame30Drop();
    // On: the 30 Drop format runs at 30000/1001 frames a second with the
    // drop-frame labels; off: it runs at 30 and is only labelled drop-frame.
    void slotChangedTrueDropFrame(bool on);

    // Milliseconds from the time `t` (of the current source) to the next
    // instant at which the computed code can change: the next frame edge, or
    // the millisecond after a watched end code.
    qint64 msUntilNextChange(qint64 t) const;

private:
    // The time of day the code is derived from, by the current source.
    qint64 sourceMs() const;
    // Derives the code from the source time `t` and emits what changed.
    void computeAndSend(qint64 t);
    // Sends a code that differs from the last one, as far as pause and freeze allow.
    bool emitCode(const TimeCode &code, qint64 frameAgeMs);
    // Sleeps through the frame: a kernel timer aimed at the next change wakes
    // the calculator once, on its first microseconds. A clock that cannot be
    // aimed at falls back to the own timer shortly before the change and a
    // short precise wait, instead of 1000 wake-ups a second at a random phase.
    void tickAndSchedule();
    // Aims the kernel timer at the next change, `wait` ms after the source
    // time `t` read at monotonic `mono`; false when the clock cannot be aimed at.
    bool aimAtNextChange(qint64 mono, qint64 t, qint64 wait);
    // A command changed the source or its phase: compute again at once.
    void tickSoon();
    void runFrames();

    // Milliseconds the counter has run, taken on the monotonic clock so that
    // a step of the wall clock does not move a running place.
    qint64 counterMs() const;

    // True drop-frame: the code is a frame count, not a time of day. The
    // clock counts frames from midnight; the counter from its origin, the
    // counter time at which it stood on frame m_originFrame (the legal label
    // of a place's start code, or 00:00:00;00 after a reset).
    bool countsDropFrames() const { return m_trueDropFrame && m_format == Frame30Drop; }
    TimeCode codeAt(qint64 t) const;
    // Milliseconds from the start of the frame codeAt(t) names to t.
    qint64 msIntoFrame(qint64 t) const;
    bool pastEndCode(qint64 t) const;
    qint64 dropFrameWait(qint64 t) const;
    // Milliseconds of counter time from the origin to the instant the code
    // passes the end code's frame; -1 when the end lies before the origin.
    qint64 dropFrameEndElapsed() const;
    void setOrigin(qint64 originMs, const TimeCode &label);

    const Clock *m_clock;
    TimeCodeFormat m_format = Frame24;
    // Before any place is chosen, play counts from the reset instant: that is
    // what an operator who presses Space first expects to see.
    bool m_systemTime = false;
    bool m_follow = false;
    bool m_freeze = false;
    bool m_pause = false;
    TimeCode m_lastCode;
    qint64 m_frameAgeMs = 0;
    qint64 m_startReference = 0; // monotonic ms at which the counter read 00:00:00.000
    qint64 m_pauseStart = 0;     // monotonic ms at which the current pause began
    int m_placeIndex = -1;       // place whose end code is watched
    bool m_trueDropFrame = false;
    qint64 m_originMs = 0;
    qint64 m_originFrame = 0;
    SettingStructItem *m_place = nullptr;

    EdgeTimer *m_edge = nullptr;

    // The five bytes of the code last sent, Frame in the low byte.
    std::atomic<quint64> m_sentCode{0};

    // The sender the timing thread calls is a plain pointer it reads
    // without a lock; a caller replacing it waits until a send that may
    // still use the old one has finished, then lets the old one go.
    std::atomic<FrameSender *> m_activeSender{nullptr};
    std::atomic<bool> m_sending{false};
    QMutex m_senderLock; // between callers of setFrameSender only
    std::shared_ptr<FrameSender> m_sender;

    std::vector<std::shared_ptr<FrameHandOff::Queue>> m_handOffs;
    bool m_standingBy = false;
    bool m_retick = false; // a change asked for a tick at once
};
