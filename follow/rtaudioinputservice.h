#pragma once

#include "inputservices.h"
#include "streamclockoffset.h"

#include <atomic>
#include <memory>

class RtAudio;

// The audio input on RtAudio, found and opened as RtAudioDevice says.
class RtAudioInputService : public AudioInputService
{
public:
    RtAudioInputService();
    ~RtAudioInputService() override;

    QStringList deviceNames() override;
    int open(const QString &device, AudioCapturer *capturer) override;
    void close() override;
    bool isRunning() override;
    quint32 sampleRate() const override { return m_rate; }
    QString description() const override { return m_description; }

private:
    static int callback(void *out, void *in, unsigned int frames, double streamTime,
                        unsigned int status, void *user);
    // When the buffer's first sample came in; audio thread only.
    qint64 captureTime(qint64 now, qint64 streamNs, unsigned int frames);

    std::unique_ptr<RtAudio> m_audio;
    AudioCapturer *m_capturer = nullptr;
    quint32 m_rate = 0;
    qint64 m_latencyNs = 0;
    QString m_description;
    std::atomic<qint64> m_lastCallbackNs{0};
    // Audio thread only, reset before the stream starts.
    StreamClockOffset m_offset;
};
