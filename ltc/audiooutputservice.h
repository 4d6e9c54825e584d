#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

// The platform's audio output as the LTC output uses it: one mono stream of
// float samples on a named device, pulled by the audio system's own thread
// through a renderer. Narrow on purpose, so the timing logic can be driven by
// a fake that calls the renderer with chosen times.

namespace AudioResult
{
constexpr int Ok = 0;
constexpr int NoAudioSystem = 1; // no audio system could be started
constexpr int NoDevice = 2;      // the named device (or any output) is not there
constexpr int OpenFailed = 3;    // the device is there but refused the stream
} // namespace AudioResult

// Runs on the audio thread once per buffer. It must not allocate, wait or take
// a lock another thread may hold: a late buffer is an audible gap.
class AudioRenderer
{
public:
    virtual ~AudioRenderer() = default;
    // Fills `frames` mono samples; out[0] is heard at firstSampleNs on the
    // service's clock (nowNs()).
    virtual void render(float *out, quint32 frames, qint64 firstSampleNs) = 0;
};

class AudioOutputService
{
public:
    virtual ~AudioOutputService() = default;

    // Output devices of the audio system in use; empty when there is none.
    virtual QStringList deviceNames() = 0;
    // Opens and starts a mono stream on the named device, empty for the
    // system's default, at 48000 Hz or, if the device offers only that, 44100.
    virtual int open(const QString &device, AudioRenderer *renderer) = 0;
    // Stops the stream; the renderer is not called any more when this returns.
    virtual void close() = 0;
    // False when no stream is open or it stopped on its own (device gone).
    virtual bool isRunning() = 0;

    virtual quint32 sampleRate() const = 0;
    // Name of the audio system and device in use, for the operator.
    virtual QString description() const = 0;
    // How far ahead of "now" the renderer is asked for samples: the stream's
    // reported output latency, or one buffer where none is reported.
    virtual qint64 aheadNs() const = 0;
    virtual qint64 nowNs() const = 0;
};
