#include "timecodecalculator.h"

TimecodeCalculator::TimecodeCalculator(const Clock *clock)
    : TimecodeTimer(1), m_clock(clock ? clock : SystemClock::instance()),
      m_place(new SettingStructItem)
{
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

void TimecodeCalculator::slotSendTimecodeTimeOut()
{
    qint64 t;
    if (m_systemTime) {
        t = m_clock->wallClock().time().msecsSinceStartOfDay();
    } else {
        t = counterMs();
        // The end test runs before the send, so the last code sent for a place
        // is the last one computed at or before the end code's millisecond 000.
        if (m_placeIndex >= 0 && t > m_place->endMs() && !m_pause) {
            setPause(true);
            m_placeIndex = -1;
            if (m_place->ExitAtEnd)
                emit signalClose();
        }
    }

    const TimeCode code = TimeCodeMath::fromMsOfDay(t, m_format);
    if (code == m_lastCode)
        return;
    m_lastCode = code;
    if (!m_freeze && !m_pause)
        emit signalSendTimecodeTimeOut(code.Hour, code.Minute, code.Seconds, code.Frame, code.Type);
    emit signalArtnetCheckDmxIn();
}

void TimecodeCalculator::slotChangedFile(SettingStructItem *stSettingItem, int iFileNumber)
{
    if (iFileNumber == Place::SystemTime) {
        m_systemTime = true;
        emit signalChangedFile(iFileNumber);
        setPause(false);
    } else if (Place::isStoredPlace(iFileNumber)) {
        m_systemTime = false;
        if (stSettingItem) {
            SettingStructItem::copy(stSettingItem, m_place);
            emit signalChangedFile(iFileNumber);
            m_placeIndex = iFileNumber;
            setPause(false);
            m_startReference = m_clock->monotonicMs() - m_place->startMs();
        }
    }
    // The record was handed over with the signal and is ours to release.
    delete stSettingItem;
}

void TimecodeCalculator::slotChangedTimeReset()
{
    const qint64 now = m_clock->monotonicMs();
    m_startReference = now;
    if (m_pause)
        m_pauseStart = now; // resuming then starts from 00:00:00:00
    emit signalChangedTimeReset();
}

void TimecodeCalculator::slotChangedFreeze()
{
    m_freeze = !m_freeze;
    emit signalChangedFreeze(m_pause, m_freeze);
}

void TimecodeCalculator::slotChangedPlayPause()
{
    setPause(!m_pause);
}

void TimecodeCalculator::slotChangedFrames(TimeCodeFormat FrameType)
{
    m_format = FrameType;
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
