#pragma once

#include "deviceworker.h"
#include "followedcode.h"
#include "inputservices.h"
#include "mtcassembler.h"

#include <QMutex>
#include <QString>

#include <array>
#include <atomic>
#include <memory>

class QSocketNotifier;
struct LTCDecoder;
struct LTCFrame;

// An input device a follow input reads from: opened only while the input is
// the one followed, tried again every two seconds while it cannot be, and
// described for the operator. The GUI thread switches it, names the device
// and lists devices by direct calls.
class FollowInputWorker : public DeviceWorker
{
    Q_OBJECT
public:
    static constexpr int RetryMs = 2000;

protected:
    explicit FollowInputWorker(std::shared_ptr<FollowSink> sink);
    QString openText(bool reopened) const override;
    QString failureText(int result, const QString &device) const override;
    // Under m_lock.
    virtual QString deviceDescription() const = 0;
    // "MIDI in" or "LTC in", before every status text.
    virtual QString kind() const = 0;

    const std::shared_ptr<FollowSink> m_sink;
};

// MIDI Time Code from a MIDI input port (empty name: a port of our own that
// others connect to), assembled on the MIDI system's thread.
class MidiFollowInput : public FollowInputWorker
{
    Q_OBJECT
public:
    // Without a service the platform's own (RtMidi) is used. Touches no device.
    explicit MidiFollowInput(std::shared_ptr<FollowSink> sink,
                             std::shared_ptr<MidiInputService> service = nullptr);
    ~MidiFollowInput() override;
    QStringList portNames();

protected:
    int openDevice(const QString &name) override;
    void closeDevice() override;
    bool deviceRunning() override;
    QString deviceDescription() const override;
    QString kind() const override;

private:
    void receive(const quint8 *bytes, size_t size, qint64 arrivalNs);

    std::shared_ptr<MidiInputService> m_service;
    QMutex m_assemblerLock; // the MIDI system's thread; held across one message
    MtcAssembler m_assembler;
};

namespace LtcFrames
{
// The code an LTC frame carries at `fps` frames a second (30 with the
// drop-frame flag is Type 2). False for a digit that is not BCD, a tens digit
// too large for its field, or a code no clock can show.
bool toCode(const LTCFrame &frame, int fps, TimeCode &code);
// The nearest of 24, 25 and 30 to the rate at which frames of `samples`
// samples run at `sampleRate`.
int fpsOf(double samples, quint32 sampleRate);
// The rate of a frame numbered `frame` that measured `samples` samples: the
// measure unless the number itself rules it out (frame 24 is not at 24 fps).
int fpsOf(double samples, quint32 sampleRate, int frame);
} // namespace LtcFrames

// LTC from an audio input, decoded by libltc on the audio thread (which
// neither allocates nor locks for it); each frame read goes through a ring
// to the input's own thread, woken by an event descriptor, and on from there.
class LtcFollowInput : public FollowInputWorker, public AudioCapturer
{
    Q_OBJECT
public:
    explicit LtcFollowInput(std::shared_ptr<FollowSink> sink,
                            std::shared_ptr<AudioInputService> service = nullptr);
    ~LtcFollowInput() override;
    QStringList deviceNames();

    void capture(const float *in, quint32 frames, qint64 firstSampleNs, quint32 rate) override;

protected:
    int openDevice(const QString &name) override;
    void closeDevice() override;
    bool deviceRunning() override;
    QString deviceDescription() const override;
    QString kind() const override;

private:
    void drain();

    std::shared_ptr<AudioInputService> m_service;
    LTCDecoder *m_decoder = nullptr;
    qint64 m_position = 0; // audio thread: samples written to the decoder
    // Audio thread: the frames' length, smoothed, since one frame's edges
    // are read only to a few samples and would flip 24 and 25 fps.
    double m_frameSamples = 0;
    // Audio thread: the rate the frame numbers showed at their last wrap to
    // 0 (23, 24 or 29 before it), 0 until one was seen. Exact, where the
    // length is not once drop-outs cut the audio.
    int m_wrapFps = 0;
    int m_lastFrame = -1;
    static constexpr int RingSize = 32;
    std::array<FollowedCode, RingSize> m_ring{};
    std::atomic<quint64> m_written{0};
    std::atomic<quint64> m_read{0};
    int m_wake = -1;
    QSocketNotifier *m_notifier = nullptr;
};
