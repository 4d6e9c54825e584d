#include "rtaudiooutputservice.h"

#include "rtaudiodevice.h"

#include <algorithm>

using namespace AudioResult;

namespace
{
// 48000, or 44100 where the device offers only that.
unsigned int outputRate(const std::vector<unsigned int> &offered)
{
    const auto offers = [&](unsigned int rate) {
        return std::find(offered.begin(), offered.end(), rate) != offered.end();
    };
    return !offers(48000) && offers(44100) ? 44100 : 48000;
}
} // namespace

RtAudioOutputService::RtAudioOutputService() = default;

RtAudioOutputService::~RtAudioOutputService()
{
    close();
}

qint64 RtAudioOutputService::nowNs() const
{
    return RtAudioDevice::nowNs();
}

QStringList RtAudioOutputService::deviceNames()
{
    return RtAudioDevice::names(RtAudioDevice::Direction::Output);
}

int RtAudioOutputService::open(const QString &device, AudioRenderer *renderer)
{
    close();
    if (!renderer)
        return OpenFailed;
    m_renderer = renderer;
    const auto prepare = [this](const RtAudioDevice::Stream &stream) {
        // The reported latency counts from the buffer being filled (on JACK
        // it is the playback port's: the periods in flight); an API that
        // reports none still plays one buffer later.
        const long ahead = stream.latency > 0 ? stream.latency : long(stream.frames);
        m_rate = stream.rate;
        m_aheadNs.store(qint64(ahead) * 1000000000LL / m_rate, std::memory_order_relaxed);
        m_lastCallbackNs.store(nowNs(), std::memory_order_relaxed);
        m_offset.reset();
    };
    const int result =
        RtAudioDevice::open(RtAudioDevice::Direction::Output, device, &outputRate,
                            &RtAudioOutputService::callback, this, prepare, m_audio, m_description);
    if (result != Ok)
        m_renderer = nullptr;
    return result;
}

void RtAudioOutputService::close()
{
    if (!m_audio)
        return;
    // Closing or deleting it now would race RtAudio's own closing thread.
    if (m_audio->getCurrentApi() == RtAudio::UNIX_JACK && !isRunning()) {
        m_abandoned.push_back(std::move(m_audio));
        m_renderer = nullptr;
        m_description.clear();
        return;
    }
    RtAudioDevice::close(*m_audio);
    m_audio.reset();
    m_renderer = nullptr;
    m_description.clear();
}

bool RtAudioOutputService::isRunning()
{
    return RtAudioDevice::isRunning(m_audio.get(),
                                    m_lastCallbackNs.load(std::memory_order_relaxed));
}

int RtAudioOutputService::callback(void *out, void *, unsigned int frames, double streamTime,
                                   unsigned int, void *user)
{
    auto *self = static_cast<RtAudioOutputService *>(user);
    const qint64 now = self->nowNs();
    self->m_lastCallbackNs.store(now, std::memory_order_relaxed);
    if (!self->m_renderer) { // a stream given up on (see close())
        std::fill_n(static_cast<float *>(out), frames, 0.0f);
        return 0;
    }
    self->m_renderer->render(static_cast<float *>(out), frames,
                             self->playTime(now, qint64(streamTime * 1e9)));
    return 0;
}

qint64 RtAudioOutputService::playTime(qint64 now, qint64 streamNs)
{
    return streamNs + m_offset.update(now, streamNs) + m_aheadNs.load(std::memory_order_relaxed);
}
