#include "ltcoutput.h"

#include "rtaudiooutputservice.h"

#include <QMutexLocker>

using namespace AudioResult;

LtcOutput::LtcOutput(std::shared_ptr<AudioOutputService> service, const Clock *clock)
    : DeviceWorker(RetryMs, true),
      m_service(service ? std::move(service) : std::make_shared<RtAudioOutputService>()),
      m_clock(clock ? clock : SystemClock::instance())
{
}

LtcOutput::~LtcOutput()
{
    QMutexLocker lock(&m_lock);
    closeLocked();
}

void LtcOutput::setLevel(double dbfs)
{
    QMutexLocker lock(&m_lock);
    m_level = dbfs;
}

void LtcOutput::setFrameShift(const FrameShift &shift)
{
    QMutexLocker lock(&m_lock);
    m_shift = shift;
}

void LtcOutput::setUserBits(const UserBits &bits)
{
    QMutexLocker lock(&m_lock);
    m_userBits = bits;
}

QStringList LtcOutput::outputDeviceNames()
{
    QMutexLocker lock(&m_lock);
    return m_service->deviceNames();
}

int LtcOutput::openDevice(const QString &name)
{
    // No stream runs now, so the player may be reset from this side.
    m_player.clear();
    m_running = false;
    const int result = m_service->open(name, &m_player);
    if (result == Ok) {
        m_player.setSampleRate(m_service->sampleRate());
        m_encoder = std::make_unique<LtcEncoder>(m_service->sampleRate());
    }
    return result;
}

void LtcOutput::closeDevice()
{
    m_service->close();
}

bool LtcOutput::deviceRunning()
{
    // Open, yet not playing: a device that takes no more samples.
    return m_service->isRunning();
}

QString LtcOutput::openText(bool reopened) const
{
    return reopened ? tr("LTC: %1 stopped playing, reopened").arg(m_service->description())
                    : tr("LTC: %1").arg(m_service->description());
}

QString LtcOutput::failureText(int result, const QString &device) const
{
    switch (result) {
    case NoAudioSystem:
        return tr("LTC: no audio system, retrying");
    case NoDevice:
        return device.isEmpty() ? tr("LTC: no audio device, retrying")
                                : tr("LTC: audio device \"%1\" not found, retrying").arg(device);
    default:
        return tr("LTC: audio device cannot be opened, retrying");
    }
}

void LtcOutput::slotChangedPlayPause(bool bPause, bool bFreeze)
{
    if (!bPause && !bFreeze)
        return; // the next code starts a run
    // The last code sent is heard whole; the frames encoded ahead are not.
    if (m_running)
        m_player.stopAfter(quint32(m_index));
    m_running = false;
}

qint64 LtcOutput::stepsFromLast(const TimeCode &code) const
{
    TimeCode c = m_last;
    const int limit = TimeCodeMath::framesPerSecond(TimeCodeFormat(code.Type));
    for (int steps = 1; steps <= limit; ++steps) {
        c = LtcTiming::nextCode(c, m_runTrueDrop);
        if (c == code)
            return steps;
    }
    return 0;
}

void LtcOutput::noteCodeSent(qint64 frameAgeNs)
{
    const qint64 now = m_service->nowNs() - frameAgeNs;
    QMutexLocker lock(&m_sentLock);
    m_sent.push_back(now);
}

void LtcOutput::slotSendTimeCode(quint8 Hour, quint8 Minute, quint8 Seconds, quint8 Frame,
                                 quint8 Type)
{
    const qint64 now = m_service->nowNs();
    // Without a note (a direct call) the code is as fresh as its arrival.
    qint64 sent = now;
    {
        QMutexLocker lock(&m_sentLock);
        if (!m_sent.empty()) {
            sent = qMin(now, m_sent.front());
            m_sent.pop_front();
        }
    }
    TimeCode code = TimeCode::make(Hour, Minute, Seconds, Frame, Type);
    double level;
    LtcEncoder::Options options;
    {
        QMutexLocker lock(&m_lock);
        if (!openLocked() || !m_encoder)
            return;
        level = m_level;
        code = m_shift.apply(code);
        options.trueDropFrame = m_shift.trueDropFrame;
        options.userBits = m_userBits;
    }
    if (!LtcTiming::isValidCode(code, options.trueDropFrame))
        return;
    m_encoder->setLevel(level);
    const bool trueDrop = options.trueDropFrame;
    const auto startOf = [&](qint64 n) {
        return m_runStart + LtcTiming::frameStartNs(code.Type, n, trueDrop);
    };
    QDateTime wall;
    if (options.userBits.kind == UserBits::Date) {
        wall = m_clock->wallClock();
        options.utcOffsetSeconds = wall.offsetFromUtc();
    }

    // A code that continues the run (the next one, or a few later when the
    // generator's thread was held up) keeps the run's grid of frame times, even
    // when it is read late: its frame was heard on time from what was encoded
    // ahead. A code sent before its place on the grid moves the grid earlier
    // (the run began with a late code), since a code can be late but never
    // sent before its frame has begun. Anything else starts a new run at the
    // moment the code was sent; frames of it that are over by now are skipped,
    // so a code read long after it was sent is never heard out of its time.
    // A change of the counting is a new run: its frames have another length.
    const qint64 steps = m_running && m_runTrueDrop == trueDrop ? stepsFromLast(code) : 0;
    const qint64 expected = startOf(m_index + steps);
    if (steps > 0) {
        m_index += steps;
        if (sent < expected)
            m_runStart -= expected - sent;
    } else {
        m_run = m_player.silence();
        m_encoder->reset();
        m_running = true;
        m_runTrueDrop = trueDrop;
        m_runStart = sent;
        m_index = 0;
        m_queuedIndex = -1;
    }
    m_last = code;

    // Queue every frame that starts before the audio side will ask for it,
    // and one more, so a code arriving a little late finds its frame queued.
    // The code itself is queued too: with little latency it is still heard
    // from its start.
    const qint64 horizon =
        now + m_service->aheadNs() + LtcTiming::frameStartNs(code.Type, 1, trueDrop);
    TimeCode c = code;
    for (qint64 n = m_index; n < m_index + LtcPlayer::Slots;
         ++n, c = LtcTiming::nextCode(c, trueDrop)) {
        const qint64 start = startOf(n);
        if (start >= horizon)
            break;
        if (n <= m_queuedIndex)
            continue;
        if (startOf(n + 1) <= now) {
            m_queuedIndex = n; // over before it could be played
            continue;
        }
        LtcPlayer::Frame *slot = m_player.next();
        if (!slot)
            break;
        if (options.userBits.kind == UserBits::Date)
            options.date = dateForCode(wall, c);
        slot->length = m_encoder->encode(c, slot->samples, LtcEncoder::MaxSamplesPerFrame, options);
        slot->startNs = start;
        slot->run = m_run;
        slot->index = quint32(n);
        if (slot->length > 0)
            m_player.commit();
        m_queuedIndex = n;
    }
}
