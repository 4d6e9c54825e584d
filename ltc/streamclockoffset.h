#pragma once

#include <QtGlobal>

// The offset between a sound stream's own time and the monotonic clock.
// The stream time counts samples, so it runs on the sound card's clock,
// while the moment its callback wakes up jitters with the scheduler. The
// offset is averaged, so one late wake-up does not move the frames; a
// wake-up far off the average is left out, and only many in a row (the
// stream skipped or caught up after an overrun) move it at once.
class StreamClockOffset
{
public:
    static constexpr qint64 OutlierNs = 3000000;
    static constexpr int JumpAfterBuffers = 8;

    // Forgets the average: the next buffer sets it anew (a new stream).
    void reset() { m_have = false; }

    // Takes one wake-up (`nowNs` on the monotonic clock, `streamNs` the
    // stream's time of that buffer) and returns the averaged offset.
    qint64 update(qint64 nowNs, qint64 streamNs)
    {
        const qint64 offset = nowNs - streamNs;
        if (!m_have) {
            m_offset = offset;
            m_have = true;
            m_far = 0;
        } else if (qAbs(offset - m_offset) > OutlierNs) {
            if (++m_far >= JumpAfterBuffers) {
                m_offset = offset;
                m_far = 0;
            }
        } else {
            m_offset += (offset - m_offset) / 16;
            m_far = 0;
        }
        return m_offset;
    }

private:
    bool m_have = false;
    qint64 m_offset = 0;
    int m_far = 0;
};
