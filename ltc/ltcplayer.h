#pragma once

#include "audiooutputservice.h"
#include "ltcencoder.h"

#include <atomic>
#include <memory>

// Hands encoded LTC frames from the output's thread to the audio thread and
// plays each one from the sample that is heard at the frame's start time.
//
// One producer (the LTC output's thread) and one consumer (the audio thread)
// share a ring of preallocated frames through two atomic indexes; the audio
// thread never allocates or locks. A frame that follows the one just played
// (same run) starts at once when its time is within a tolerance, so the
// waveform stays unbroken and the sound card's clock may differ slightly from
// the computer's; beyond it the frame waits or is dropped, which pulls the
// output back into step. Frames of an earlier run (see silence()) are dropped
// unplayed, and what is playing stops at the next buffer; a stopped run
// (stopAfter()) plays its last frame to the end and nothing after it.
class LtcPlayer : public AudioRenderer
{
public:
    static constexpr int Slots = 8;

    struct Frame {
        qint64 startNs = 0;
        quint64 run = 0;
        quint32 index = 0; // frame number within its run
        int length = 0;
        float samples[LtcEncoder::MaxSamplesPerFrame];
    };

    LtcPlayer();

    // Producer side. Sample rate and clearing only while no stream runs.
    void setSampleRate(quint32 rate);
    void clear();
    // A free frame to fill, or null when the ring is full; commit() queues it.
    Frame *next();
    void commit();
    // Starts a new run: everything queued or playing goes silent.
    quint64 silence();
    // Ends the current run after frame `index`: that frame plays to its end,
    // the ones queued after it are dropped.
    void stopAfter(quint32 index);
    quint64 run() const { return m_run.load(std::memory_order_relaxed); }
    int queued() const;

    // Consumer side.
    void render(float *out, quint32 frames, qint64 firstSampleNs) override;

    // Counters for the operator and the tests.
    quint64 framesPlayed() const { return m_played.load(std::memory_order_relaxed); }
    quint64 framesDropped() const { return m_dropped.load(std::memory_order_relaxed); }

private:
    Frame *head();
    void pop(bool played);
    bool cancelled(const Frame &frame, quint64 run, quint64 stop) const;

    std::unique_ptr<Frame[]> m_frames;
    std::atomic<quint64> m_write{0};
    std::atomic<quint64> m_read{0};
    std::atomic<quint64> m_run{1};
    // Run (high 32 bits) and last frame index (low 32 bits) of a stopped run,
    // in one word so the audio thread never sees half of an update.
    std::atomic<quint64> m_stop{0};
    std::atomic<quint64> m_played{0};
    std::atomic<quint64> m_dropped{0};

    // Audio thread only.
    quint32 m_rate = 48000;
    Frame *m_current = nullptr;
    int m_position = 0;
    bool m_justEnded = false;
    quint64 m_endedRun = 0;
};
