#pragma once

#include "audiooutputservice.h"
#include "streamclockoffset.h"

#include <atomic>
#include <memory>
#include <vector>

class RtAudio;

// The audio output on RtAudio, found and opened as RtAudioDevice says.
class RtAudioOutputService : public AudioOutputService
{
public:
    RtAudioOutputService();
    ~RtAudioOutputService() override;

    QStringList deviceNames() override;
    int open(const QString &device, AudioRenderer *renderer) override;
    void close() override;
    bool isRunning() override;
    quint32 sampleRate() const override { return m_rate; }
    QString description() const override { return m_description; }
    qint64 aheadNs() const override { return m_aheadNs.load(std::memory_order_relaxed); }
    qint64 nowNs() const override;

private:
    static int callback(void *out, void *in, unsigned int frames, double streamTime,
                        unsigned int status, void *user);
    // When the first sample of the buffer asked for at `now` is heard; audio thread only.
    qint64 playTime(qint64 now, qint64 streamNs);

    std::unique_ptr<RtAudio> m_audio;
    // JACK streams whose server went away: RtAudio closes such a stream
    // itself, on a thread of its own that it never joins, so the object is
    // neither called nor deleted before this service goes.
    std::vector<std::unique_ptr<RtAudio>> m_abandoned;
    AudioRenderer *m_renderer = nullptr;
    quint32 m_rate = 0;
    QString m_description;
    std::atomic<qint64> m_aheadNs{0};
    std::atomic<qint64> m_lastCallbackNs{0};
    // Audio thread only, reset before the stream starts.
    StreamClockOffset m_offset;
};
