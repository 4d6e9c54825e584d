#include "rtaudiooutputservice.h"

#include "quietsearch.h"

#include <RtAudio.h>
#include <algorithm>
#include <chrono>

using namespace AudioResult;

namespace
{
// Stream errors after the start (a JACK server that quits) arrive here on the
// audio system's thread; the stream state tells the output, so they stay quiet.
void quietRtAudio(RtAudioError::Type, const std::string &) {}

// Fixed order; an API not compiled into this RtAudio is skipped.
const RtAudio::Api ApiOrder[] = {RtAudio::UNIX_JACK,      RtAudio::LINUX_PULSE,
                                 RtAudio::LINUX_ALSA,     RtAudio::MACOSX_CORE,
                                 RtAudio::WINDOWS_WASAPI, RtAudio::WINDOWS_DS};

std::vector<RtAudio::Api> apisInOrder()
{
    std::vector<RtAudio::Api> compiled;
    RtAudio::getCompiledApi(compiled);
    std::vector<RtAudio::Api> apis;
    for (RtAudio::Api api : ApiOrder)
        if (std::find(compiled.begin(), compiled.end(), api) != compiled.end())
            apis.push_back(api);
    return apis;
}

// A stream that has not asked for samples for this long is taken as gone
// (a device unplugged under ALSA keeps the stream "running").
constexpr qint64 StalledNs = 2000000000LL;

} // namespace

std::vector<int> RtAudioOutputService::apiOrder()
{
    std::vector<int> order;
    for (RtAudio::Api api : apisInOrder())
        order.push_back(int(api));
    return order;
}

RtAudioOutputService::RtAudioOutputService() = default;

RtAudioOutputService::~RtAudioOutputService()
{
    close();
}

qint64 RtAudioOutputService::nowNs() const
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

QStringList RtAudioOutputService::deviceNames()
{
    const QuietSearch quiet;
    for (RtAudio::Api api : apisInOrder()) {
        try {
            RtAudio audio(api);
            audio.showWarnings(false);
            QStringList names;
            const unsigned int count = audio.getDeviceCount();
            for (unsigned int i = 0; i < count; ++i) {
                const RtAudio::DeviceInfo info = audio.getDeviceInfo(i);
                if (info.probed && info.outputChannels > 0)
                    names << QString::fromStdString(info.name);
            }
            if (!names.isEmpty())
                return names;
        } catch (const RtAudioError &) {
        } catch (const std::exception &) {
        }
    }
    return {};
}

int RtAudioOutputService::open(const QString &device, AudioRenderer *renderer)
{
    close();
    if (!renderer)
        return OpenFailed;
    const QuietSearch quiet;
    int result = NoAudioSystem;
    for (RtAudio::Api api : apisInOrder()) {
        try {
            auto audio = std::make_unique<RtAudio>(api);
            audio->showWarnings(false);
            const unsigned int count = audio->getDeviceCount();
            if (count == 0)
                continue;
            result = std::max(result, NoDevice);
            unsigned int index = count;
            if (device.isEmpty()) {
                index = audio->getDefaultOutputDevice();
            } else {
                for (unsigned int i = 0; i < count && index == count; ++i)
                    if (audio->getDeviceInfo(i).name == device.toStdString())
                        index = i;
            }
            if (index >= count)
                continue;
            const RtAudio::DeviceInfo info = audio->getDeviceInfo(index);
            if (!info.probed || info.outputChannels == 0)
                continue;
            result = OpenFailed;
            const auto offers = [&](unsigned int rate) {
                return std::find(info.sampleRates.begin(), info.sampleRates.end(), rate) !=
                       info.sampleRates.end();
            };
            const unsigned int rate = !offers(48000) && offers(44100) ? 44100 : 48000;

            RtAudio::StreamParameters parameters;
            parameters.deviceId = index;
            parameters.nChannels = 1;
            RtAudio::StreamOptions options;
            options.streamName = ClientName;
            options.flags = RTAUDIO_SCHEDULE_REALTIME;
            unsigned int frames = BufferFrames;
            m_renderer = renderer;
            audio->openStream(&parameters, nullptr, RTAUDIO_FLOAT32, rate, &frames,
                              &RtAudioOutputService::callback, this, &options, &quietRtAudio);
            // With an error callback some RtAudio versions report instead of throwing.
            if (!audio->isStreamOpen())
                throw RtAudioError("stream not opened", RtAudioError::SYSTEM_ERROR);
            const unsigned int actualRate = audio->getStreamSampleRate();
            const long latency = audio->getStreamLatency();
            // The reported latency counts from the buffer being filled (on JACK
            // it is the playback port's: the periods in flight); an API that
            // reports none still plays one buffer later.
            const long ahead = latency > 0 ? latency : long(frames);
            m_rate = actualRate ? actualRate : rate;
            m_aheadNs.store(qint64(ahead) * 1000000000LL / m_rate, std::memory_order_relaxed);
            m_lastCallbackNs.store(nowNs(), std::memory_order_relaxed);
            m_offset.reset();
            audio->startStream();
            if (!audio->isStreamRunning())
                throw RtAudioError("stream not started", RtAudioError::SYSTEM_ERROR);
            m_description = QStringLiteral("%1, %2").arg(
                QString::fromStdString(RtAudio::getApiDisplayName(api)),
                QString::fromStdString(info.name));
            m_audio = std::move(audio);
            return Ok;
        } catch (const RtAudioError &) {
        } catch (const std::exception &) {
        }
        m_renderer = nullptr;
    }
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
    try {
        if (m_audio->isStreamRunning())
            m_audio->stopStream();
        if (m_audio->isStreamOpen())
            m_audio->closeStream();
    } catch (const RtAudioError &) {
    } catch (const std::exception &) {
    }
    m_audio.reset();
    m_renderer = nullptr;
    m_description.clear();
}

bool RtAudioOutputService::isRunning()
{
    if (!m_audio || !m_audio->isStreamOpen() || !m_audio->isStreamRunning())
        return false;
    return nowNs() - m_lastCallbackNs.load(std::memory_order_relaxed) < StalledNs;
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
