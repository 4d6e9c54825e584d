#include "rtaudioinputservice.h"

#include "quietsearch.h"
#include "rtaudiooutputservice.h"

#include <RtAudio.h>

#include <algorithm>
#include <chrono>

namespace
{
void quietRtAudio(RtAudioError::Type, const std::string &) {}

qint64 monotonicNow()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// A stream that has not delivered samples for this long is taken as gone.
constexpr qint64 StalledNs = 2000000000LL;
} // namespace

RtAudioInputService::RtAudioInputService() = default;

RtAudioInputService::~RtAudioInputService()
{
    close();
}

QStringList RtAudioInputService::deviceNames()
{
    const QuietSearch quiet;
    for (int api : RtAudioOutputService::apiOrder()) {
        try {
            RtAudio audio{RtAudio::Api(api)};
            audio.showWarnings(false);
            QStringList names;
            for (unsigned int i = 0; i < audio.getDeviceCount(); ++i) {
                const RtAudio::DeviceInfo info = audio.getDeviceInfo(i);
                if (info.probed && info.inputChannels > 0)
                    names << QString::fromStdString(info.name);
            }
            if (!names.isEmpty())
                return names;
        } catch (const std::exception &) {
        }
    }
    return {};
}

int RtAudioInputService::open(const QString &device, AudioCapturer *capturer)
{
    close();
    if (!capturer)
        return InputResult::OpenFailed;
    const QuietSearch quiet;
    int result = InputResult::NoSystem;
    for (int api : RtAudioOutputService::apiOrder()) {
        try {
            auto audio = std::make_unique<RtAudio>(RtAudio::Api(api));
            audio->showWarnings(false);
            const unsigned int count = audio->getDeviceCount();
            if (count == 0)
                continue;
            result = std::max(result, InputResult::NoDevice);
            unsigned int index = count;
            if (device.isEmpty()) {
                index = audio->getDefaultInputDevice();
            } else {
                for (unsigned int i = 0; i < count && index == count; ++i)
                    if (audio->getDeviceInfo(i).name == device.toStdString())
                        index = i;
            }
            if (index >= count)
                continue;
            const RtAudio::DeviceInfo info = audio->getDeviceInfo(index);
            if (!info.probed || info.inputChannels == 0)
                continue;
            result = InputResult::OpenFailed;
            const bool offers48k = std::find(info.sampleRates.begin(), info.sampleRates.end(),
                                             48000u) != info.sampleRates.end();
            const unsigned int rate = offers48k || info.sampleRates.empty() ? 48000 : 44100;
            RtAudio::StreamParameters parameters;
            parameters.deviceId = index;
            parameters.nChannels = 1;
            RtAudio::StreamOptions options;
            options.streamName = ClientName;
            options.flags = RTAUDIO_SCHEDULE_REALTIME;
            unsigned int frames = BufferFrames;
            m_capturer = capturer;
            audio->openStream(nullptr, &parameters, RTAUDIO_FLOAT32, rate, &frames,
                              &RtAudioInputService::callback, this, &options, &quietRtAudio);
            if (!audio->isStreamOpen())
                throw RtAudioError("stream not opened", RtAudioError::SYSTEM_ERROR);
            const unsigned int actual = audio->getStreamSampleRate();
            m_rate = actual ? actual : rate;
            const long latency = audio->getStreamLatency();
            m_latencyNs = latency > 0 ? qint64(latency) * 1000000000LL / m_rate : 0;
            m_lastCallbackNs = monotonicNow();
            m_offset.reset();
            audio->startStream();
            if (!audio->isStreamRunning())
                throw RtAudioError("stream not started", RtAudioError::SYSTEM_ERROR);
            m_description = QStringLiteral("%1, %2").arg(
                QString::fromStdString(RtAudio::getApiDisplayName(RtAudio::Api(api))),
                QString::fromStdString(info.name));
            m_audio = std::move(audio);
            return InputResult::Ok;
        } catch (const std::exception &) {
        }
        m_capturer = nullptr;
    }
    return result;
}

void RtAudioInputService::close()
{
    if (!m_audio)
        return;
    try {
        if (m_audio->isStreamRunning())
            m_audio->stopStream();
        if (m_audio->isStreamOpen())
            m_audio->closeStream();
    } catch (const std::exception &) {
    }
    m_audio.reset();
    m_capturer = nullptr;
    m_description.clear();
}

bool RtAudioInputService::isRunning()
{
    if (!m_audio || !m_audio->isStreamOpen() || !m_audio->isStreamRunning())
        return false;
    return monotonicNow() - m_lastCallbackNs.load(std::memory_order_relaxed) < StalledNs;
}

int RtAudioInputService::callback(void *, void *in, unsigned int frames, double streamTime,
                                  unsigned int, void *user)
{
    auto *self = static_cast<RtAudioInputService *>(user);
    const qint64 now = monotonicNow();
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
