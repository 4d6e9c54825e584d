#include "fakeaudiooutputservice.h"
#include "ltcdecodehelper.h"
#include "ltcoutput.h"

#include <QtTest>

using Fake = FakeAudioOutputService;
using namespace AudioResult;

Q_DECLARE_METATYPE(TimeCode)

namespace
{

TimeCode tc(int h, int m, int s, int f, int type)
{
    return TimeCode::make(quint8(h), quint8(m), quint8(s), quint8(f), quint8(type));
}

QString text(const TimeCode &c)
{
    return QString::asprintf("%02d:%02d:%02d%c%02d", c.Hour, c.Minute, c.Seconds,
                             c.Type == Frame30Drop ? ';' : ':', c.Frame);
}

constexpr quint32 BufferFrames = 256;
constexpr qint64 StepNs = 250000;
// A code reaches the output 0.3 ms after its frame began (Rig::delayNs) and is
// seen at the next step; the frame can be heard no earlier than that.
constexpr int MaxOffsetUs = 600;
constexpr qint64 MaxOffsetNs = MaxOffsetUs * 1000LL;

// The generator and the audio system side by side on the fake's clock.
struct Rig {
    std::shared_ptr<Fake> audio = std::make_shared<Fake>();
    LtcOutput out{audio};
    QMap<QString, qint64> sentAt; // code -> when its frame began
    qint64 delayNs = 300000;      // from a frame's start to its code's arrival

    void start() { out.slotStart(); }

    void runUntil(qint64 t)
    {
        while (audio->now < t) {
            audio->now = qMin(t, audio->now + StepNs);
            audio->pullDue(BufferFrames);
        }
    }
    // Sends `frames` consecutive codes from `code`, one per frame from now on.
    // With `finish` false it returns right after the last code went out.
    TimeCode play(TimeCode code, int frames, bool finish = true)
    {
        const qint64 frame = LtcTiming::frameNs(code.Type);
        const qint64 start = audio->now;
        for (int k = 0; k < frames; ++k, code = LtcTiming::nextCode(code)) {
            runUntil(start + k * frame + delayNs);
            sentAt[text(code)] = start + k * frame;
            out.slotSendTimeCode(code.Hour, code.Minute, code.Seconds, code.Frame, code.Type);
        }
        if (finish)
            runUntil(start + frames * frame);
        return code;
    }
    std::vector<DecodedLtc> decode(int samplesPerFrame)
    {
        LtcDecodeHelper decoder(samplesPerFrame);
        return decoder.write(audio->heard.data(), audio->heard.size());
    }
    qint64 heardAt(long long sample) const
    {
        return audio->firstHeardNs + qint64(sample * audio->nsPerSample());
    }
};

} // namespace

class TestLtcOutput : public QObject
{
    Q_OBJECT
private slots:
    void inStep_data()
    {
        QTest::addColumn<TimeCode>("first");
        QTest::addColumn<uint>("rate");
        QTest::addColumn<int>("aheadMs");
        QTest::addColumn<double>("driftPpm");
        QTest::addColumn<int>("maxOffsetUs");
        QTest::newRow("25 fps") << tc(10, 0, 0, 0, Frame25) << 48000u << 20 << 0.0 << MaxOffsetUs;
        QTest::newRow("24 fps at 44100, latency over a frame")
            << tc(23, 59, 58, 0, Frame24) << 44100u << 60 << 0.0 << MaxOffsetUs;
        QTest::newRow("30 drop, short latency")
            << tc(1, 0, 0, 0, Frame30Drop) << 48000u << 5 << 0.0 << MaxOffsetUs;
        // A sound card far off the computer's clock: pulled back within the
        // audio side's tolerance of a quarter of a frame.
        QTest::newRow("card 2000 ppm fast")
            << tc(1, 0, 0, 0, Frame25) << 48000u << 20 << 2000.0 << 10000 + MaxOffsetUs;
        QTest::newRow("card 2000 ppm slow")
            << tc(1, 0, 0, 0, Frame30) << 48000u << 20 << -2000.0 << 8400 + MaxOffsetUs;
    }

    // Every frame decodes as a code that was sent, heard when that code's
    // frame began; hardly any frame is lost.
    void inStep()
    {
        QFETCH(TimeCode, first);
        QFETCH(uint, rate);
        QFETCH(int, aheadMs);
        QFETCH(double, driftPpm);
        QFETCH(int, maxOffsetUs);
        Rig rig;
        rig.audio->rate = rate;
        rig.audio->ahead = aheadMs * 1000000LL;
        rig.audio->drift = driftPpm * 1e-6;
        rig.start();
        constexpr int Frames = 150;
        // The generator is still running at the end: its next code may be heard.
        const TimeCode next = rig.play(first, Frames);
        rig.sentAt[text(next)] = rig.audio->now;

        const int fps = TimeCodeMath::framesPerSecond(TimeCodeFormat(first.Type));
        const std::vector<DecodedLtc> got = rig.decode(int(rate) / fps);
        // Lost: the frames before the output has caught up with its latency,
        // the last one (read only at the next frame's edge), and any frame
        // dropped to pull a drifting card back.
        QVERIFY2(got.size() >= size_t(Frames - aheadMs / (1000 / fps) - 6),
                 qPrintable(QString::number(got.size())));
        for (const DecodedLtc &d : got) {
            QVERIFY2(rig.sentAt.contains(d.text()), qPrintable(d.text()));
            QCOMPARE(d.userBits, 0ul);
            const qint64 offset = rig.heardAt(d.startSample) - rig.sentAt[d.text()];
            QVERIFY2(
                qAbs(offset) <= maxOffsetUs * 1000LL,
                qPrintable(QStringLiteral("%1 heard %2 us off").arg(d.text()).arg(offset / 1000)));
        }
    }

    void silentWhenStopped_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("pause") << 0;
        QTest::newRow("freeze") << 1;
        QTest::newRow("codes stop without notice") << 2;
    }

    // The generator stops right after a code (as at a place's end code): that
    // frame is heard whole, nothing after it but what the audio system already
    // held; the next code starts the output again from its own frame.
    void silentWhenStopped()
    {
        QFETCH(int, how);
        Rig rig;
        rig.start();
        const qint64 frame = LtcTiming::frameNs(Frame25);
        const TimeCode unsent = rig.play(tc(2, 0, 0, 0, Frame25), 25, false);
        const qint64 lastStart = rig.audio->now - rig.delayNs;
        rig.runUntil(rig.audio->now + 500000);
        if (how < 2)
            rig.out.slotChangedPlayPause(how == 0, how == 1);
        rig.runUntil(lastStart + 20 * frame);
        const qint64 resumedAt = rig.audio->now;
        rig.play(tc(3, 0, 0, 0, Frame25), 25);

        // Without notice the frame encoded ahead plays out too: it is the one
        // the generator would have sent next.
        const qint64 quietFrom = lastStart + (how < 2 ? 1 : 2) * frame + 1000000;
        int loud = 0;
        for (size_t i = 0; i < rig.audio->heard.size(); ++i) {
            const qint64 t = rig.heardAt(qint64(i));
            if (t > quietFrom && t < resumedAt && rig.audio->heard[i] != 0.0f)
                ++loud;
        }
        QCOMPARE(loud, 0);
        const std::vector<DecodedLtc> got = rig.decode(1920);
        int after = 0;
        bool lastHeard = false;
        for (const DecodedLtc &d : got) {
            QVERIFY2(rig.sentAt.contains(d.text()) || (how == 2 && d.text() == text(unsent)),
                     qPrintable(d.text()));
            after += d.hours == 3;
            lastHeard |= d.text() == QStringLiteral("02:00:00:24");
        }
        QVERIFY(lastHeard);
        // Read on its own, before the output resumes: the stopped run's last
        // frame is complete to a receiver.
        std::vector<float> stopped(
            rig.audio->heard.begin(),
            rig.audio->heard.begin() +
                ptrdiff_t(48000 * (resumedAt - rig.audio->firstHeardNs) / 1000000000));
        LtcDecodeHelper alone(1920);
        const std::vector<DecodedLtc> before = alone.write(stopped.data(), stopped.size());
        QVERIFY(!before.empty());
        QCOMPARE(before.back().text(), QStringLiteral("02:00:00:24"));
        QVERIFY2(after >= 22, qPrintable(QString::number(after)));
    }

    // A code that does not follow cuts what was queued ahead: no frame the
    // generator never sent is heard whole, and the new codes are in step.
    void jumpCutsPrediction()
    {
        Rig rig;
        rig.start();
        rig.play(tc(4, 0, 0, 0, Frame24), 30);
        rig.play(tc(7, 30, 0, 0, Frame25), 30);
        // The code the 25 fps run expects next, but at another rate.
        rig.play(tc(7, 30, 1, 5, Frame30), 30);
        const std::vector<DecodedLtc> got = rig.decode(1920);
        QVERIFY2(got.size() >= 80, qPrintable(QString::number(got.size())));
        for (const DecodedLtc &d : got) {
            QVERIFY2(rig.sentAt.contains(d.text()), qPrintable(d.text()));
            const qint64 offset = rig.heardAt(d.startSample) - rig.sentAt[d.text()];
            QVERIFY2(qAbs(offset) < MaxOffsetNs, qPrintable(d.text() + QString::number(offset)));
        }
    }

    // The generator's thread held up for two frames, its codes then arriving
    // together: what was encoded ahead has already played them, nothing is
    // heard twice or out of order, and the following frames stay on time.
    void lateCodesKeepTheGrid()
    {
        Rig rig;
        rig.start();
        const qint64 frame = LtcTiming::frameNs(Frame25);
        const qint64 start = rig.audio->now;
        TimeCode code = tc(5, 0, 0, 0, Frame25);
        for (int k = 0; k < 50; ++k, code = LtcTiming::nextCode(code)) {
            const bool heldUp = k == 10 || k == 11;
            if (!heldUp)
                rig.runUntil(start + k * frame + rig.delayNs);
            rig.sentAt[text(code)] = start + k * frame;
            if (heldUp)
                continue;
            if (k == 12) {
                for (int held = 10; held < 12; ++held)
                    rig.out.slotSendTimeCode(5, 0, 0, quint8(held), Frame25);
            }
            rig.out.slotSendTimeCode(code.Hour, code.Minute, code.Seconds, code.Frame, code.Type);
        }
        rig.runUntil(start + 50 * frame);
        const std::vector<DecodedLtc> got = rig.decode(1920);
        QVERIFY2(got.size() >= 45, qPrintable(QString::number(got.size())));
        for (size_t i = 0; i < got.size(); ++i) {
            const DecodedLtc &d = got[i];
            QVERIFY2(rig.sentAt.contains(d.text()), qPrintable(d.text()));
            QVERIFY2(i == 0 || d.frame > got[i - 1].frame || d.seconds > got[i - 1].seconds,
                     qPrintable(d.text()));
            const qint64 offset = rig.heardAt(d.startSample) - rig.sentAt[d.text()];
            QVERIFY2(qAbs(offset) < MaxOffsetNs, qPrintable(d.text()));
        }
    }

    void status_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<std::vector<int>>("results");
        QTest::addColumn<bool>("lostAfterFirst");
        QTest::addColumn<QStringList>("statuses");
        const QString ok = QStringLiteral("LTC: Fake, Fake out");
        QTest::newRow("no audio system, then one")
            << QString() << std::vector<int>{NoAudioSystem, NoAudioSystem, Ok} << false
            << QStringList{"LTC: no audio system, retrying", ok};
        QTest::newRow("named device missing")
            << QString("Desk") << std::vector<int>{NoDevice, Ok} << false
            << QStringList{"LTC: audio device \"Desk\" not found, retrying", ok};
        QTest::newRow("device refuses")
            << QString() << std::vector<int>{OpenFailed, Ok} << false
            << QStringList{"LTC: audio device cannot be opened, retrying", ok};
        QTest::newRow("device lost and back")
            << QString() << std::vector<int>{Ok, NoDevice, NoDevice, Ok} << true
            << QStringList{ok, "LTC: no audio device, retrying", ok};
    }

    // The operator reads the output's state on the status line; each check
    // retries until the device opens, each texts told once.
    void status()
    {
        QFETCH(QString, device);
        QFETCH(std::vector<int>, results);
        QFETCH(bool, lostAfterFirst);
        QFETCH(QStringList, statuses);
        auto audio = std::make_shared<Fake>();
        audio->results = results;
        LtcOutput out(audio);
        out.selectOutputDevice(device);
        QSignalSpy spy(&out, &LtcOutput::signalStatusChanged);
        out.slotStart();
        for (size_t i = 1; i < results.size(); ++i) {
            if (lostAfterFirst && i == 1)
                audio->running = false;
            out.slotCheckOutput();
        }
        QStringList seen;
        for (const QList<QVariant> &args : spy)
            seen << args.at(0).toString();
        QCOMPARE(seen, statuses);
        QCOMPARE(int(audio->opened.size()), int(results.size()));
        QCOMPARE(audio->opened.back(), device);
        QVERIFY(out.isOpen());
        // Open and running: a check leaves the stream alone.
        out.slotCheckOutput();
        QCOMPARE(int(audio->opened.size()), int(results.size()));
    }
};

QTEST_GUILESS_MAIN(TestLtcOutput)
#include "tst_ltcoutput.moc"
