#include "fakeaudiooutputservice.h"
#include "fakeclock.h"
#include "ltcdecodehelper.h"
#include "ltcoutput.h"
#include "table.h"

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
    return DecodedLtc{c.Hour, c.Minute, c.Seconds, c.Frame, c.Type == Frame30Drop}.text();
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
    FakeClock clock;
    LtcOutput out{audio, &clock};
    QMap<QString, qint64> sentAt; // code -> when its frame began
    qint64 delayNs = 300000;      // from a frame's start to its code's arrival
    qint64 firstAgeNs = 0;        // the next play's first code, sent this far into its frame

    void start() { out.slotStart(); }

    void runUntil(qint64 t)
    {
        while (audio->now < t) {
            audio->now = qMin(t, audio->now + StepNs);
            audio->pullDue(BufferFrames);
        }
    }
    // Sends `frames` codes from `code`, one per frame; those numbered in `late`
    // are read with the next one. Unfinished, it returns once the last went out.
    // With the output's `shift`, the shifted code is heard on the generator's edges.
    TimeCode play(TimeCode code, int frames, bool finish = true, const QList<int> &late = {},
                  const FrameShift &shift = {})
    {
        const bool trueDrop = shift.trueDropFrame;
        const auto edge = [&](int k) { return LtcTiming::frameStartNs(code.Type, k, trueDrop); };
        const qint64 start = audio->now;
        QList<TimeCode> due;
        for (int k = 0; k < frames; ++k, code = LtcTiming::nextCode(code, trueDrop)) {
            sentAt[text(shift.apply(code))] = start + edge(k);
            due << code;
            const qint64 age = k == 0 ? std::exchange(firstAgeNs, 0) : 0;
            runUntil(start + edge(k) + (age ? age : delayNs));
            out.noteCodeSent(age); // on the generator's thread, as it sends
            if (late.contains(k))
                continue;
            for (const TimeCode &c : std::as_const(due))
                out.slotSendTimeCode(c.Hour, c.Minute, c.Seconds, c.Frame, c.Type);
            due.clear();
        }
        if (finish)
            runUntil(start + edge(frames));
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
    // The first decoded frame never sent, heard out of order, or off its frame's start.
    QString misplaced(const std::vector<DecodedLtc> &got, qint64 maxOffsetNs = MaxOffsetNs) const
    {
        for (size_t i = 0; i < got.size(); ++i) {
            const QString code = got[i].text();
            if (!sentAt.contains(code))
                return code + " never sent";
            if (i > 0 && sentAt[code] <= sentAt[got[i - 1].text()])
                return code + " out of order";
            const qint64 offset = heardAt(got[i].startSample) - sentAt[code];
            if (qAbs(offset) > maxOffsetNs)
                return QStringLiteral("%1 heard %2 us off").arg(code).arg(offset / 1000);
        }
        return {};
    }
};

} // namespace

class TestLtcOutput : public QObject
{
    Q_OBJECT
private slots:
    void inStep_data()
    {
        // offset: frames, the output's own shift
        // crossing: a code that must be heard
        // firstAgeMs: how late in its frame the first code went out
        Table::columns<TimeCode, uint, int, double, int, int, bool, QString, QString, int>(
            "first", "rate", "aheadMs", "driftPpm", "maxOffsetUs", "offset", "trueDrop", "bits",
            "crossing", "firstAgeMs");
        const auto row = [](const char *name, TimeCode first, uint rate, int aheadMs,
                            double driftPpm = 0, int maxOffsetUs = MaxOffsetUs, int offset = 0,
                            bool trueDrop = false, const char *bits = "", const char *crossing = "",
                            int firstAgeMs = 0) {
            Table::row(name, first, rate, aheadMs, driftPpm, maxOffsetUs, offset, trueDrop,
                       QString(bits), QString(crossing), firstAgeMs);
        };
        row("25 fps", tc(10, 0, 0, 0, Frame25), 48000, 20);
        row("24 fps at 44100, latency over a frame", tc(23, 59, 58, 0, Frame24), 44100, 60);
        row("30 drop, short latency", tc(1, 0, 0, 0, Frame30Drop), 48000, 5);
        // The generator just started: its first code goes out 25 ms into its
        // frame, the next ones on their edges. Told so, the output keeps one grid.
        row("first code in the middle of its frame", tc(10, 0, 0, 0, Frame25), 48000, 5, 0,
            MaxOffsetUs, 0, false, "", "", 25);
        // A sound card far off the computer's clock: pulled back within the
        // audio side's tolerance of a quarter of a frame.
        row("card 2000 ppm fast", tc(1, 0, 0, 0, Frame25), 48000, 20, 2000, 10000 + MaxOffsetUs);
        row("card 2000 ppm slow", tc(1, 0, 0, 0, Frame30), 48000, 20, -2000, 8400 + MaxOffsetUs);
        // Shifted codes on the generator's own frame edges (at 29.97 with true
        // drop-frame), with the user bits asked for: the date follows the code
        // over midnight.
        row("25 fps 2 ahead over midnight, date", tc(23, 59, 59, 10, Frame25), 48000, 20, 0,
            MaxOffsetUs, 2, false, "date", "00:00:00:00");
        row("30 fps over midnight, date", tc(23, 59, 59, 10, Frame30), 48000, 20, 0, MaxOffsetUs, 0,
            false, "date", "00:00:00:00");
        row("true drop 3 behind over a dropped minute, fixed bits", tc(0, 0, 59, 20, Frame30Drop),
            48000, 20, 0, MaxOffsetUs, -3, true, "DEADBEEF", "00:01:00;02");
        row("true drop 30 ahead into minute 10", tc(0, 9, 58, 15, Frame30Drop), 48000, 20, 0,
            MaxOffsetUs, 30, true, "", "00:10:00;00");
    }

    // Every frame decodes as a code that was sent, heard when that code's
    // frame began, with its user bits; hardly any frame is lost.
    void inStep()
    {
        const auto [first, rate, aheadMs, driftPpm, maxOffsetUs, offset, trueDrop, bits, crossing,
                    firstAgeMs] =
            Table::fetch<TimeCode, uint, int, double, int, int, bool, QString, QString, int>(
                "first", "rate", "aheadMs", "driftPpm", "maxOffsetUs", "offset", "trueDrop", "bits",
                "crossing", "firstAgeMs");
        Rig rig;
        rig.firstAgeNs = firstAgeMs * 1000000LL;
        rig.audio->rate = rate;
        rig.audio->ahead = aheadMs * 1000000LL;
        rig.audio->drift = driftPpm * 1e-6;
        rig.clock.setWallClock(
            QDateTime(QDate(2026, 12, 6), QTime(23, 59, 59, 500), Qt::OffsetFromUTC, 3600));
        const FrameShift shift{offset, trueDrop};
        UserBits userBits;
        QVERIFY(UserBits::parse(bits, &userBits));
        rig.out.setFrameShift(shift);
        rig.out.setUserBits(userBits);
        rig.start();
        constexpr int Frames = 150;
        // The generator is still running at the end: its next code may be heard.
        const TimeCode next = rig.play(first, Frames, true, {}, shift);
        rig.sentAt[text(shift.apply(next))] = rig.audio->now;

        const int fps = TimeCodeMath::framesPerSecond(TimeCodeFormat(first.Type));
        const std::vector<DecodedLtc> got = rig.decode(int(rate) / fps);
        // Lost: the frames before the output has caught up with its latency,
        // the last one (read only at the next frame's edge), and any frame
        // dropped to pull a drifting card back.
        QCOMPARE_GE(got.size(), size_t(Frames - aheadMs / (1000 / fps) - 6));
        QCOMPARE(rig.misplaced(got, maxOffsetUs * 1000LL), QString());
        QVERIFY(crossing.isEmpty() ||
                std::any_of(got.begin(), got.end(),
                            [&, c = crossing](const DecodedLtc &d) { return d.text() == c; }));
        for (const DecodedLtc &d : got) {
            LTCFrame raw = d.raw;
            // Binary group flags 0 0 1 with the date, else 0 0 0. At 25 fps BGF0 and
            // BGF2 sit at bits 27 and 43, where the 24 and 30 fps frames keep the
            // parity bit and BGF0; BGF1 is bit 58 at all rates.
            const bool pal = first.Type == Frame25;
            const int bgf0 = pal ? raw.biphase_mark_phase_correction : raw.binary_group_flag_bit0;
            const int bgf2 = pal ? raw.binary_group_flag_bit0 : raw.binary_group_flag_bit2;
            QCOMPARE(bgf2 << 2 | raw.binary_group_flag_bit1 << 1 | bgf0,
                     userBits.kind == UserBits::Date ? 4 : 0);
            SMPTETimecode time;
            ltc_frame_to_time(&time, &raw, LTC_USE_DATE);
            const QString date = QString::asprintf("%02d-%02d-%02d %s", time.years, time.months,
                                                   time.days, time.timezone);
            if (userBits.kind == UserBits::Date)
                QCOMPARE(date, d.hours == 0 ? "26-12-07 +0100" : "26-12-06 +0100");
            else
                QCOMPARE(d.userBits, ulong(userBits.value));
        }
    }

    void silentWhenStopped_data()
    {
        QTest::addColumn<int>("how");
        Table::row("pause", 0);
        Table::row("freeze", 1);
        Table::row("codes stop without notice", 2);
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
        if (how == 2)
            rig.sentAt[text(unsent)] = lastStart + frame;
        const std::vector<DecodedLtc> got = rig.decode(1920);
        QCOMPARE(rig.misplaced(got), QString());
        const long after =
            std::count_if(got.begin(), got.end(), [](const DecodedLtc &d) { return d.hours == 3; });
        // Read on its own, before the output resumes: the stopped run's last
        // frame is complete to a receiver.
        const std::vector<DecodedLtc> before = LtcDecodeHelper(1920).write(
            rig.audio->heard.data(),
            size_t(48000 * (resumedAt - rig.audio->firstHeardNs) / 1000000000));
        QVERIFY(!before.empty());
        QCOMPARE(before.back().text(), QStringLiteral("02:00:00:24"));
        QCOMPARE_GE(after, 22);
    }

    // A code that does not follow cuts what was queued ahead: no frame the
    // generator never sent is heard whole. Codes held up for two frames, then
    // arriving together, were already played from what was encoded ahead:
    // nothing is heard twice or out of order and the run stays on its grid.
    void jumpsAndLateCodes()
    {
        Rig rig;
        rig.start();
        // The first codes waited half a second to be read (the output was
        // opening its device): none of them is heard out of its time.
        rig.play(tc(3, 0, 0, 0, Frame25), 30, true, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11});
        rig.play(tc(4, 0, 0, 0, Frame24), 30);
        rig.play(tc(7, 30, 0, 0, Frame25), 30, true, {10, 11});
        // The code the 25 fps run expects next, but at another rate.
        rig.play(tc(7, 30, 1, 5, Frame30), 30);
        const std::vector<DecodedLtc> got = rig.decode(1920);
        QCOMPARE_GE(got.size(), size_t(95));
        QCOMPARE(rig.misplaced(got), QString());
    }

    void status_data()
    {
        // failing: after the last status, until seen playing
        Table::columns<QString, std::vector<int>, bool, QStringList, bool>(
            "device", "results", "lostAfterFirst", "statuses", "failing");
        const QString ok = QStringLiteral("LTC: Fake, Fake out");
        Table::row("no audio system, then one", QString(),
                   std::vector<int>{NoAudioSystem, NoAudioSystem, Ok}, false,
                   QStringList{"LTC: no audio system, retrying", ok}, false);
        Table::row("named device missing", QString("Desk"), std::vector<int>{NoDevice, Ok}, false,
                   QStringList{"LTC: audio device \"Desk\" not found, retrying", ok}, false);
        Table::row("device refuses", QString(), std::vector<int>{OpenFailed, Ok}, false,
                   QStringList{"LTC: audio device cannot be opened, retrying", ok}, false);
        Table::row("device lost and back", QString(), std::vector<int>{Ok, NoDevice, NoDevice, Ok},
                   true, QStringList{ok, "LTC: no audio device, retrying", ok}, false);
        // Opens again at once, but has not been seen playing since.
        Table::row("stream stops, reopened", QString(), std::vector<int>{Ok, Ok}, true,
                   QStringList{ok, "LTC: Fake, Fake out stopped playing, reopened"}, true);
    }

    // The operator reads the output's state on the status line; each check
    // retries until the device opens, each texts told once.
    void status()
    {
        const auto [device, results, lostAfterFirst, statuses, failing] =
            Table::fetch<QString, std::vector<int>, bool, QStringList, bool>(
                "device", "results", "lostAfterFirst", "statuses", "failing");
        auto audio = std::make_shared<Fake>();
        audio->results = results;
        LtcOutput out(audio);
        out.selectOutputDevice(device);
        QSignalSpy spy(&out, &LtcOutput::signalStatusChanged);
        out.slotStart();
        for (size_t i = 1; i < results.size(); ++i) {
            if (lostAfterFirst && i == 1)
                audio->running = false;
            out.slotCheck();
        }
        QStringList seen;
        for (const QList<QVariant> &args : spy)
            seen << args.at(0).toString();
        QCOMPARE(seen, statuses);
        QCOMPARE(int(audio->opened.size()), int(results.size()));
        QCOMPARE(audio->opened.back(), device);
        QVERIFY(out.isOpen());
        QCOMPARE(out.isFailing(), failing);
        // Open and running: a check leaves the stream alone, and it is not failing.
        out.slotCheck();
        QCOMPARE(int(audio->opened.size()), int(results.size()));
        QVERIFY(!out.isFailing());
        QCOMPARE(out.statusText(), QStringLiteral("LTC: Fake, Fake out"));
    }

    // A new name reopens the stream there; switched off, the stream is closed
    // and the status line cleared.
    void renamedThenSwitchedOff()
    {
        auto audio = std::make_shared<Fake>();
        LtcOutput out(audio);
        out.slotStart();
        out.selectOutputDevice("Desk");
        out.slotCheck();
        QCOMPARE(audio->opened, (std::vector<QString>{QString(), "Desk"}));
        out.setEnabled(false);
        out.slotCheck();
        QVERIFY(!out.isOpen());
        QVERIFY(!audio->renderer);
        QCOMPARE(out.statusText(), QString());
    }
};

QTEST_GUILESS_MAIN(TestLtcOutput)
#include "tst_ltcoutput.moc"
