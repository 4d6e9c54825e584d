#include "rtaudiodevice.h"

#include "audiooutputservice.h"
#include "quietsearch.h"

#include <algorithm>
#include <chrono>

using namespace AudioResult;

namespace
{
// Stream errors after the start (a JACK server that quits) arrive here on the
// audio system's thread; the stream state tells its owner, so they stay quiet.
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

unsigned int channels(const RtAudio::DeviceInfo &info, RtAudioDevice::Direction direction)
{
    return direction == RtAudioDevice::Direction::Input ? info.inputChannels : info.outputChannels;
}

constexpr qint64 StalledNs = 2000000000LL;
} // namespace

namespace RtAudioDevice
{
QStringList names(Direction direction)
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
                if (info.probed && channels(info, direction) > 0)
                    names << QString::fromStdString(info.name);
            }
            if (!names.isEmpty())
                return names;
        } catch (const std::exception &) {
        }
    }
    return {};
}

int open(Direction direction, const QString &device, RateChoice rate, RtAudioCallback callback,
         void *user, const std::function<void(const Stream &)> &prepare,
         std::unique_ptr<RtAudio> &opened, QString &description)
{
    const QuietSearch quiet;
    const bool input = direction == Direction::Input;
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
                index = input ? audio->getDefaultInputDevice() : audio->getDefaultOutputDevice();
            } else {
                for (unsigned int i = 0; i < count && index == count; ++i)
                    if (audio->getDeviceInfo(i).name == device.toStdString())
                        index = i;
            }
            if (index >= count)
                continue;
            const RtAudio::DeviceInfo info = audio->getDeviceInfo(index);
            if (!info.probed || channels(info, direction) == 0)
                continue;
            result = OpenFailed;

            RtAudio::StreamParameters parameters;
            parameters.deviceId = index;
            parameters.nChannels = 1;
            RtAudio::StreamOptions options;
            options.streamName = ClientName;
            options.flags = RTAUDIO_SCHEDULE_REALTIME;
            Stream stream;
            stream.rate = rate(info.sampleRates);
            stream.frames = BufferFrames;
            audio->openStream(input ? nullptr : &parameters, input ? &parameters : nullptr,
                              RTAUDIO_FLOAT32, stream.rate, &stream.frames, callback, user,
                              &options, &quietRtAudio);
            // With an error callback some RtAudio versions report instead of throwing.
            if (!audio->isStreamOpen())
                throw RtAudioError("stream not opened", RtAudioError::SYSTEM_ERROR);
            if (const unsigned int actual = audio->getStreamSampleRate())
                stream.rate = actual;
            stream.latency = std::max(audio->getStreamLatency(), 0L);
            prepare(stream);
            audio->startStream();
            if (!audio->isStreamRunning())
                throw RtAudioError("stream not started", RtAudioError::SYSTEM_ERROR);
            description = QStringLiteral("%1, %2").arg(
                QString::fromStdString(RtAudio::getApiDisplayName(api)),
                QString::fromStdString(info.name));
            opened = std::move(audio);
            return Ok;
        } catch (const std::exception &) {
        }
    }
    return result;
}

void close(RtAudio &audio)
{
    try {
        if (audio.isStreamRunning())
            audio.stopStream();
        if (audio.isStreamOpen())
            audio.closeStream();
    } catch (const std::exception &) {
    }
}

bool isRunning(const RtAudio *audio, qint64 lastCallbackNs)
{
    if (!audio || !audio->isStreamOpen() || !audio->isStreamRunning())
        return false;
    return nowNs() - lastCallbackNs < StalledNs;
}

qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
} // namespace RtAudioDevice
