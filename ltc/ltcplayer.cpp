#include "ltcplayer.h"

#include <algorithm>
#include <cstring>

LtcPlayer::LtcPlayer() : m_frames(new Frame[Slots]) {}

void LtcPlayer::setSampleRate(quint32 rate)
{
    m_rate = rate ? rate : 48000;
}

void LtcPlayer::clear()
{
    m_read.store(m_write.load(std::memory_order_relaxed), std::memory_order_release);
    m_current = nullptr;
    m_position = 0;
    m_justEnded = false;
}

LtcPlayer::Frame *LtcPlayer::next()
{
    const quint64 write = m_write.load(std::memory_order_relaxed);
    if (write - m_read.load(std::memory_order_acquire) >= Slots)
        return nullptr;
    return &m_frames[write % Slots];
}

void LtcPlayer::commit()
{
    m_write.store(m_write.load(std::memory_order_relaxed) + 1, std::memory_order_release);
}

quint64 LtcPlayer::silence()
{
    return m_run.fetch_add(1, std::memory_order_release) + 1;
}

void LtcPlayer::stopAfter(quint32 index)
{
    const quint64 run = m_run.load(std::memory_order_relaxed);
    m_stop.store((run & 0xFFFFFFFFu) << 32 | index, std::memory_order_release);
}

bool LtcPlayer::cancelled(const Frame &frame, quint64 run, quint64 stop) const
{
    if (frame.run < run)
        return true;
    return (frame.run & 0xFFFFFFFFu) == stop >> 32 && frame.index > (stop & 0xFFFFFFFFu);
}

int LtcPlayer::queued() const
{
    return int(m_write.load(std::memory_order_acquire) - m_read.load(std::memory_order_acquire));
}

LtcPlayer::Frame *LtcPlayer::head()
{
    const quint64 read = m_read.load(std::memory_order_relaxed);
    if (read == m_write.load(std::memory_order_acquire))
        return nullptr;
    return &m_frames[read % Slots];
}

void LtcPlayer::pop(bool played)
{
    (played ? m_played : m_dropped).fetch_add(1, std::memory_order_relaxed);
    m_read.store(m_read.load(std::memory_order_relaxed) + 1, std::memory_order_release);
}

void LtcPlayer::render(float *out, quint32 frames, qint64 firstSampleNs)
{
    const quint64 run = m_run.load(std::memory_order_acquire);
    const quint64 stop = m_stop.load(std::memory_order_acquire);
    const double nsPerSample = 1e9 / m_rate;
    quint32 i = 0;
    while (i < frames) {
        if (m_current && cancelled(*m_current, run, stop)) {
            pop(false);
            m_current = nullptr;
            m_justEnded = false;
        }
        if (!m_current) {
            Frame *frame = head();
            if (!frame) {
                std::fill(out + i, out + frames, 0.0f);
                m_justEnded = false;
                return;
            }
            if (cancelled(*frame, run, stop)) {
                // Right after the last frame of a stopped run, the first half
                // bit of the next one: a receiver reads a frame's last bit only
                // at the edge that ends it.
                if (m_justEnded && frame->run == m_endedRun && frame->run == run) {
                    const quint32 edge =
                        std::min<quint32>(quint32(frame->length / 160 + 1), frames - i);
                    std::memcpy(out + i, frame->samples, edge * sizeof(float));
                    i += edge;
                }
                m_justEnded = false;
                pop(false);
                continue;
            }
            const qint64 t = firstSampleNs + qint64(i * nsPerSample);
            // A quarter of a frame: an audio system that skipped a few
            // milliseconds (an overrun) goes on without losing a frame, and
            // the code stays well within its frame.
            const qint64 tolerance = qint64(frame->length * nsPerSample) / 4;
            const bool follows = m_justEnded && frame->run == m_endedRun;
            const qint64 early = follows ? tolerance : qint64(nsPerSample / 2);
            if (t > frame->startNs + tolerance) {
                pop(false); // its moment has passed; the next one is placed afresh
                m_justEnded = false;
                continue;
            }
            if (t < frame->startNs - early) {
                const qint64 wait = frame->startNs - early - t;
                const quint32 gap =
                    std::clamp<quint32>(quint32(wait / nsPerSample) + 1, 1u, frames - i);
                std::fill(out + i, out + i + gap, 0.0f);
                i += gap;
                m_justEnded = false;
                continue;
            }
            m_current = frame;
            m_position = 0;
        }
        const quint32 n = std::min<quint32>(quint32(m_current->length - m_position), frames - i);
        std::memcpy(out + i, m_current->samples + m_position, n * sizeof(float));
        m_position += int(n);
        i += n;
        if (m_position >= m_current->length) {
            m_endedRun = m_current->run;
            m_current = nullptr;
            m_justEnded = true;
            pop(true);
        }
    }
}
