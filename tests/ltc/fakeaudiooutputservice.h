#pragma once

#include "audiooutputservice.h"

#include <vector>

// Stands in for the audio system: open answers a scripted result, time is
// moved by the test, and pull() plays the part of the audio thread, asking the
// renderer for a buffer that is heard `ahead` later and keeping what it wrote.
// The sound card's clock may run off the computer's by `drift` (1e-6 = 1 ppm).
class FakeAudioOutputService : public AudioOutputService
{
public:
    QStringList devices{QStringLiteral("Fake out")};
    std::vector<int> results; // answers to open(), in turn; Ok once used up
    std::vector<QString> opened;
    bool running = true;
    quint32 rate = 48000;
    qint64 ahead = 20000000;
    double drift = 0;
    qint64 now = 1000000000000LL;

    std::vector<float> heard; // every sample pulled, in order
    qint64 firstHeardNs = -1; // when heard[0] plays, on the computer's clock

    QStringList deviceNames() override { return devices; }
    int open(const QString &device, AudioRenderer *r) override
    {
        opened.push_back(device);
        const int result = results.empty() ? AudioResult::Ok : results.front();
        if (!results.empty())
            results.erase(results.begin());
        renderer = result == AudioResult::Ok ? r : nullptr;
        running = renderer != nullptr;
        return result;
    }
    void close() override { renderer = nullptr; }
    bool isRunning() override { return renderer && running; }
    quint32 sampleRate() const override { return rate; }
    QString description() const override { return QStringLiteral("Fake, Fake out"); }
    qint64 aheadNs() const override { return ahead; }
    qint64 nowNs() const override { return now; }

    // The audio thread's turn: the next buffer, if it is due by now.
    void pullDue(quint32 frames)
    {
        if (!renderer)
            return;
        if (firstHeardNs < 0)
            firstHeardNs = now + ahead;
        for (;;) {
            const qint64 heardAt = firstHeardNs + qint64(heard.size() * nsPerSample());
            if (heardAt - ahead > now)
                return;
            const size_t at = heard.size();
            heard.resize(at + frames);
            renderer->render(heard.data() + at, frames, heardAt);
        }
    }
    double nsPerSample() const { return 1e9 / rate * (1.0 - drift); }

    AudioRenderer *renderer = nullptr;
};
