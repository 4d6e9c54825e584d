#include "followinputs.h"

#include "rtaudioinputservice.h"
#include "rtmidiinputservice.h"

#include <QMutexLocker>
#include <QSocketNotifier>

#include <ltc.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

FollowInputWorker::FollowInputWorker(std::shared_ptr<FollowSink> sink)
    : DeviceWorker(RetryMs, false), m_sink(std::move(sink))
{
}

QString FollowInputWorker::openText(bool) const
{
    return tr("%1: %2").arg(kind(), deviceDescription());
}

QString FollowInputWorker::failureText(int result, const QString &device) const
{
    switch (result) {
    case InputResult::NoSystem:
        return tr("%1: no MIDI or audio system, retrying").arg(kind());
    case InputResult::NoDevice:
        return device.isEmpty() ? tr("%1: no input, retrying").arg(kind())
                                : tr("%1: \"%2\" not found, retrying").arg(kind(), device);
    default:
        return tr("%1: cannot be opened, retrying").arg(kind());
    }
}

// ---- MIDI Time Code -------------------------------------------------------

MidiFollowInput::MidiFollowInput(std::shared_ptr<FollowSink> sink,
                                 std::shared_ptr<MidiInputService> service)
    : FollowInputWorker(std::move(sink)),
      m_service(service ? std::move(service) : std::make_shared<RtMidiInputService>())
{
}

MidiFollowInput::~MidiFollowInput()
{
    QMutexLocker lock(&m_lock);
    m_service->close();
}

QStringList MidiFollowInput::portNames()
{
    QMutexLocker lock(&m_lock);
    return m_service->portNames();
}

int MidiFollowInput::openDevice(const QString &name)
{
    {
        QMutexLocker lock(&m_assemblerLock);
        m_assembler.reset();
    }
    return m_service->open(name, [this](const quint8 *bytes, size_t size, qint64 arrivalNs) {
        receive(bytes, size, arrivalNs);
    });
}

void MidiFollowInput::closeDevice()
{
    m_service->close();
}

bool MidiFollowInput::deviceRunning()
{
    return m_service->isOpen();
}

QString MidiFollowInput::deviceDescription() const
{
    return m_service->description();
}

QString MidiFollowInput::kind() const
{
    return tr("MIDI in");
}

void MidiFollowInput::receive(const quint8 *bytes, size_t size, qint64 arrivalNs)
{
    FollowedCode code;
    bool complete;
    {
        QMutexLocker lock(&m_assemblerLock);
        complete = m_assembler.feed(bytes, size, arrivalNs, code);
    }
    if (complete)
        m_sink->deliver(code);
}

// ---- LTC ------------------------------------------------------------------

namespace LtcFrames
{
bool toCode(const LTCFrame &f, int fps, TimeCode &code)
{
    if (f.frame_units > 9 || f.frame_tens > 2 || f.secs_units > 9 || f.secs_tens > 5 ||
        f.mins_units > 9 || f.mins_tens > 5 || f.hours_units > 9 || f.hours_tens > 2)
        return false;
    quint8 type = Frame30;
    if (fps == 24)
        type = Frame24;
    else if (fps == 25)
        type = Frame25;
    else if (f.dfbit)
        type = Frame30Drop;
    const TimeCode read = TimeCode::make(
        quint8(f.hours_tens * 10 + f.hours_units), quint8(f.mins_tens * 10 + f.mins_units),
        quint8(f.secs_tens * 10 + f.secs_units), quint8(f.frame_tens * 10 + f.frame_units), type);
    if (!MtcCode::isValid(read))
        return false;
    code = read;
    return true;
}

int fpsOf(double samples, quint32 sampleRate, int frame)
{
    const int fps = fpsOf(samples, sampleRate);
    if (frame < fps)
        return fps;
    return frame < 25 ? 25 : 30;
}

int fpsOf(double samples, quint32 sampleRate)
{
    int best = 25;
    double bestError = 1e18;
    for (int fps : {24, 25, 30}) {
        const double error = std::fabs(samples - double(sampleRate) / fps);
        if (error < bestError) {
            bestError = error;
            best = fps;
        }
    }
    return best;
}
} // namespace LtcFrames

LtcFollowInput::LtcFollowInput(std::shared_ptr<FollowSink> sink,
                               std::shared_ptr<AudioInputService> service)
    : FollowInputWorker(std::move(sink)),
      m_service(service ? std::move(service) : std::make_shared<RtAudioInputService>()),
      m_wake(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
{
    if (m_wake >= 0) {
        // A child: it moves with the input to its thread and wakes it there.
        m_notifier = new QSocketNotifier(m_wake, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &LtcFollowInput::drain);
    }
}

LtcFollowInput::~LtcFollowInput()
{
    {
        QMutexLocker lock(&m_lock);
        closeDevice();
    }
    delete m_notifier;
    if (m_wake >= 0)
        ::close(m_wake);
}

QStringList LtcFollowInput::deviceNames()
{
    QMutexLocker lock(&m_lock);
    return m_service->deviceNames();
}

int LtcFollowInput::openDevice(const QString &name)
{
    // No stream runs now, so the audio thread's state may be set from here.
    // The samples per frame only seed the decoder, which follows the speed.
    m_decoder = ltc_decoder_create(48000 / 25, 32);
    m_position = 0;
    m_frameSamples = 0;
    m_wrapFps = 0;
    m_lastFrame = -1;
    if (!m_decoder)
        return InputResult::OpenFailed;
    const int result = m_service->open(name, this);
    if (result != InputResult::Ok) {
        ltc_decoder_free(m_decoder);
        m_decoder = nullptr;
    }
    return result;
}

void LtcFollowInput::closeDevice()
{
    m_service->close();
    if (m_decoder)
        ltc_decoder_free(m_decoder);
    m_decoder = nullptr;
}

bool LtcFollowInput::deviceRunning()
{
    return m_service->isRunning();
}

QString LtcFollowInput::deviceDescription() const
{
    return m_service->description();
}

QString LtcFollowInput::kind() const
{
    return tr("LTC in");
}

void LtcFollowInput::capture(const float *in, quint32 frames, qint64 firstSampleNs, quint32 rate)
{
    if (!m_decoder || rate == 0)
        return;
    // libltc reads the buffer without writing to it.
    ltc_decoder_write_float(m_decoder, const_cast<float *>(in), frames, m_position);
    bool delivered = false;
    LTCFrameExt ext;
    while (ltc_decoder_read(m_decoder, &ext)) {
        // A reverse run is not followed: its frames read backwards.
        if (ext.reverse)
            continue;
        TimeCode code;
        const double length = double(ext.off_end - ext.off_start + 1);
        // A frame cut by a drop-out measures anything; one such moves the
        // mean by well under the 4 % between 24 and 25 fps.
        m_frameSamples =
            m_frameSamples <= 0
                ? length
                : m_frameSamples + (qBound(m_frameSamples * 0.9, length, m_frameSamples * 1.1) -
                                    m_frameSamples) /
                                       16;
        const int frameNumber = int(ext.ltc.frame_tens * 10 + ext.ltc.frame_units);
        if (frameNumber == 0 && (m_lastFrame == 23 || m_lastFrame == 24 || m_lastFrame == 29))
            m_wrapFps = std::max(m_wrapFps, m_lastFrame + 1); // a lost frame looks lower
        m_lastFrame = frameNumber;
        const int fps = m_wrapFps && frameNumber < m_wrapFps
                            ? m_wrapFps
                            : LtcFrames::fpsOf(m_frameSamples, rate, frameNumber);
        if (!LtcFrames::toCode(ext.ltc, fps, code))
            continue;
        const quint64 written = m_written.load(std::memory_order_relaxed);
        if (written - m_read.load(std::memory_order_acquire) >= RingSize)
            continue; // the reader is stuck; the next frame tells the same
        FollowedCode &slot = m_ring[written % RingSize];
        slot.code = code;
        slot.startNs = firstSampleNs + (ext.off_start - m_position) * 1000000000LL / rate;
        slot.frames = 1;
        slot.source = 0;
        m_written.store(written + 1, std::memory_order_release);
        delivered = true;
    }
    m_position += frames;
    if (delivered && m_wake >= 0) {
        const std::uint64_t one = 1;
        (void)!::write(m_wake, &one, sizeof one);
    }
}

void LtcFollowInput::drain()
{
    std::uint64_t count = 0;
    (void)!::read(m_wake, &count, sizeof count);
    quint64 read = m_read.load(std::memory_order_relaxed);
    const quint64 written = m_written.load(std::memory_order_acquire);
    for (; read < written; ++read)
        m_sink->deliver(m_ring[read % RingSize]);
    m_read.store(read, std::memory_order_release);
}
