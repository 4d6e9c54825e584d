#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <cstddef>
#include <functional>

// The platform's MIDI and audio inputs as the follow inputs use them: narrow
// on purpose, so that the reading of codes is driven by fakes in tests.

namespace InputResult
{
constexpr int Ok = 0;
constexpr int NoSystem = 1;   // no MIDI or audio system could be started
constexpr int NoDevice = 2;   // the named port or device (or any input) is not there
constexpr int OpenFailed = 3; // it is there but refused
} // namespace InputResult

class MidiInputService
{
public:
    // Called on the MIDI system's thread with one whole message.
    using Receiver = std::function<void(const quint8 *bytes, size_t size, qint64 arrivalNs)>;

    virtual ~MidiInputService() = default;
    // The ports one can listen to.
    virtual QStringList portNames() = 0;
    // Listens to the named port; with an empty name, opens a port of our own
    // that others connect to. No message reaches `receiver` after close().
    virtual int open(const QString &port, Receiver receiver) = 0;
    virtual void close() = 0;
    // False when closed, or when the MIDI system went away under the port.
    virtual bool isOpen() = 0;
    virtual QString description() const = 0;
};

// Runs on the audio system's thread once per buffer; it must not allocate,
// wait or take a lock another thread may hold.
class AudioCapturer
{
public:
    virtual ~AudioCapturer() = default;
    // `in` holds `frames` mono samples at `rate` per second; in[0] entered
    // the machine at firstSampleNs on CLOCK_MONOTONIC.
    virtual void capture(const float *in, quint32 frames, qint64 firstSampleNs, quint32 rate) = 0;
};

class AudioInputService
{
public:
    virtual ~AudioInputService() = default;
    virtual QStringList deviceNames() = 0;
    // A mono input stream on the named device, empty for the system's default.
    virtual int open(const QString &device, AudioCapturer *capturer) = 0;
    // The capturer is not called any more when this returns.
    virtual void close() = 0;
    virtual bool isRunning() = 0;
    virtual quint32 sampleRate() const = 0;
    virtual QString description() const = 0;
};
