#include "rtaudioinputservice.h"

#include "audiooutputservice.h"
#include "rtaudiodevice.h"

#include <algorithm>

// The LTC output's codes serve the input too.
static_assert(InputResult::Ok == AudioResult::Ok &&
              InputResult::NoSystem == AudioResult::NoAudioSystem &&
              InputResult::NoDevice == AudioResult::NoDevice &&
              InputResult::OpenFailed == AudioResult::OpenFailed);

namespace
{
// 48000 where the device offers it or does not say, otherwise 44100.
unsigned int inputRate(const std::vector<unsigned int> &offered)
{
    const bool offers48k = std::find(offered.begin(), offered.end(), 48000u) != offered.end();
    return offers48k || offered.empty() ? 48000 : 44100;
}
} // namespace

RtAudioInputService::RtAudioInputService() = default;

RtAudioInputService::~RtAudioInputService()
{
    close();
}

QStringList RtAudioInputService::deviceNames()
{
    return RtAudioDevice::names(RtAudioDevice::Direction::Input);
}

int RtAudioInputService::open(const QString &device, AudioCapturer *capturer)
{
    close();
    if (!capturer)
        return InputResult::OpenFailed;
    m_capturer = capturer;
    const auto prepare = [this](const RtAudioDevice::Stream &stream) {
        m_rate = stream.rate;
        m_latencyNs = qint64(stream.latency) * 1000000000LL / m_rate;
        m_lastCallbackNs = RtAudioDevice::nowNs();
        m_offset.reset();
    };
    const int result =
        RtAudioDevice::open(RtAudioDevice::Direction::Input, device, &inputRate,
                            &RtAudioInputService::callback, this, prepare, m_audio, m_description);
    if (result != InputResult::Ok)
        m_capturer = nullptr;
    return result;
}

void RtAudioInputService::close()
{
    if (!m_audio)
        return;
    RtAudioDevice::close(*m_audio);
    m_audio.reset();
    m_capturer = nullptr;
    m_description.clear();
}

bool RtAudioInputService::isRunning()
{
    return RtAudioDevice::isRunning(m_audio.get(),
                                    m_lastCallbackNs.load(std::memory_order_relaxed));
}

int RtAudioInputService::callback(void *, void *in, unsigned int frames, double streamTime,
                                  unsigned int, void *user)
{
    auto *self = static_cast<RtAudioInputService *>(user);
    const qint64 now = RtAudioDevice::nowNs();
    self->m_lastCallbackNs.store(now, std::memory_order_relaxed);
    if (in)
        self->m_capturer->capture(static_cast<const float *>(in), frames,
                                  self->captureTime(now, qint64(streamTime * 1e9), frames),
                                  self->m_rate);
    return 0;
}

qint64 RtAudioInputService::captureTime(qint64 now, qint64 streamNs, unsigned int frames)
{
    const qint64 offset = m_offset.update(now, streamNs);
    // The buffer is handed over once full: its first sample came in one
    // buffer earlier, and the input's own latency before that. After an
    // overrun the stream time lags until the offset moves; a sample's instant
    // is therefore kept within one buffer of what the wake-up itself says,
    // or a decoded frame would be placed whole frames off.
    const qint64 bufferNs = qint64(frames) * 1000000000LL / m_rate;
    const qint64 latest = now - bufferNs - m_latencyNs;
    return qBound(latest - bufferNs, streamNs + offset - bufferNs - m_latencyNs, latest);
}
