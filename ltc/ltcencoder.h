#pragma once

#include "timecode.h"
#include "userbits.h"

#include <QDateTime>

#include <QtGlobal>

struct LTCEncoder;

// Turns one timecode into the audio of one LTC frame, through libltc: the
// 80-bit frame, its parity and the biphase-mark waveform are libltc's. The
// encoder is kept between frames so consecutive frames join without a break
// in the waveform's phase, as a receiver expects of a running code.
class LtcEncoder
{
public:
    // Covers one frame at 24 fps and 48000 Hz with room for libltc's extra sample.
    static constexpr int MaxSamplesPerFrame = 2048;
    static constexpr double DefaultLevelDbfs = -18.0;
    static constexpr double MinLevelDbfs = -60.0;

    explicit LtcEncoder(quint32 sampleRate);
    ~LtcEncoder();
    LtcEncoder(const LtcEncoder &) = delete;
    LtcEncoder &operator=(const LtcEncoder &) = delete;

    bool isValid() const { return m_encoder != nullptr; }
    quint32 sampleRate() const { return m_sampleRate; }

    // Peak level of the signal in dBFS, clamped to MinLevelDbfs .. 0.
    void setLevel(double dbfs);
    double level() const { return m_levelDbfs; }

    // What a frame carries besides its code. With true drop-frame the 30 Drop
    // frames run at 30000/1001 a second; `date` is the clock's local date and
    // UTC offset for user bits of kind Date.
    struct Options {
        bool trueDropFrame = false;
        UserBits userBits;
        QDate date;
        int utcOffsetSeconds = 0;
    };

    // Writes the frame carrying `code` as float samples (at most capacity) and
    // returns how many were written; 0 for a code that is not a valid code of
    // its Type. At 44100 Hz frames alternate in length so the rate holds, and
    // at 29.97 so the frames keep to it.
    int encode(const TimeCode &code, float *out, int capacity, const Options &options);
    int encode(const TimeCode &code, float *out, int capacity)
    {
        return encode(code, out, capacity, Options());
    }

    // Starts the waveform afresh, for a code that does not follow the last one.
    void reset();

private:
    int applyFormat(quint8 type, bool trueDropFrame);

    LTCEncoder *m_encoder = nullptr;
    quint32 m_sampleRate;
    int m_type = -1;
    double m_levelDbfs = DefaultLevelDbfs;
    float m_gain = 0.0f;
};

namespace LtcTiming
{
// The code one frame after `code`, as the generator counts: 30 drop counts
// like 30, only the Type tells them apart, unless it is true drop-frame;
// 23:59:59:last wraps to midnight.
TimeCode nextCode(const TimeCode &code, bool trueDropFrame = false);
// Length of one frame of the code's Type in nanoseconds.
qint64 frameNs(quint8 type);
// When frame `n` of a run begins, in nanoseconds after the run's first:
// n whole frames of frameNs, or at 30000/1001 exactly, so a long run of
// true drop-frame does not drift by the nanoseconds frameNs leaves out.
qint64 frameStartNs(quint8 type, qint64 n, bool trueDropFrame);
// With true drop-frame a 30 Drop code must also be a legal label.
bool isValidCode(const TimeCode &code, bool trueDropFrame = false);
} // namespace LtcTiming
