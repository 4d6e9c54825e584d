#include "dropframe.h"
#include "fakeclock.h"
#include "table.h"
#include "timecodecalculator.h"

#include <QSignalSpy>
#include <QtTest>

#include <functional>

namespace
{

QString text(const TimeCode &c)
{
    return QString::asprintf("%02d:%02d:%02d:%02d/%d", c.Hour, c.Minute, c.Seconds, c.Frame,
                             c.Type);
}

TimeCode codeOf(const QList<QVariant> &args)
{
    return TimeCode::make(args[0].toUInt(), args[1].toUInt(), args[2].toUInt(), args[3].toUInt(),
                          args[4].toUInt());
}

QString text(const QList<QVariant> &args)
{
    return text(codeOf(args));
}

// A calculator on the test's thread, driven by a fake clock: every step moves
// the clock and runs one tick, as the 1 ms timer would.
struct Rig {
    FakeClock clock;
    TimecodeCalculator calc{&clock};
    QSignalSpy sent{&calc, &TimecodeCalculator::signalSendTimecodeTimeOut};
    QSignalSpy dmx{&calc, &TimecodeCalculator::signalArtnetCheckDmxIn};
    QSignalSpy closed{&calc, &TimecodeCalculator::signalClose};
    QSignalSpy files{&calc, &TimecodeCalculator::signalChangedFile};

    Rig()
    {
        // As the main window sets it up before the thread starts.
        calc.setPause(true);
        calc.slotChangedTimeReset();
    }

    void run(qint64 ms, int tickEvery = 1)
    {
        for (qint64 i = 0; i < ms; i += tickEvery) {
            clock.advance(tickEvery);
            calc.slotSendTimecodeTimeOut();
        }
    }
    void select(int n, SettingStructItem item = {})
    {
        calc.slotChangedFile(n == Place::SystemTime ? nullptr : new SettingStructItem(item), n);
    }
    QString lastSent() const { return sent.isEmpty() ? QString() : text(sent.last()); }

    // Sleeps as the timing thread does: from each tick straight to the
    // instant the calculator says the code changes next. `source` gives the
    // time the code is derived from. Returns the monotonic time of each code sent.
    QList<qint64> runByWaits(qint64 ms, const std::function<qint64()> &source)
    {
        QList<qint64> at;
        QObject::connect(&calc, &TimecodeCalculator::signalSendTimecodeTimeOut, &calc,
                         [&] { at << clock.monotonicMs(); });
        const qint64 end = clock.monotonicMs() + ms;
        while (clock.monotonicMs() < end) {
            calc.slotSendTimecodeTimeOut();
            const qint64 wait = calc.msUntilNextChange(source());
            if (wait < 1)
                return {};
            clock.advance(wait);
        }
        QObject::disconnect(&calc, &TimecodeCalculator::signalSendTimecodeTimeOut, &calc, nullptr);
        return at;
    }
};

qint64 msOfDay(const FakeClock &clock)
{
    return clock.wallClock().time().msecsSinceStartOfDay();
}

// Each code it is handed, with how many code signals had gone out before it.
struct OrderSender : FrameSender {
    explicit OrderSender(const QSignalSpy &spy) : spy(spy) {}
    void sendFrame(const TimeCode &c) override
    {
        codes << text(c) + '@' + QString::number(spy.size());
    }
    const QSignalSpy &spy;
    QStringList codes;
};

SettingStructItem place(int s, int e, bool exitAtEnd = false)
{
    return {quint8(s / 3600),    quint8(s / 60 % 60), quint8(s % 60),   quint8(e / 3600),
            quint8(e / 60 % 60), quint8(e % 60),      quint8(exitAtEnd)};
}

// A hand-moved clock whose waits end on their instant, as the real one's do.
struct SleepingClock : FakeClock {
    void waitForMonotonicMs(qint64 ms) const override
    {
        const_cast<SleepingClock *>(this)->advance(ms - monotonicMs());
    }
};

} // namespace

class TestTimecodeCalculator : public QObject
{
    Q_OBJECT
private slots:
    void onceForEveryFrame_data()
    {
        Table::columns<int, int>("format", "fps");
        QTest::newRow("24") << int(Frame24) << 24;
        QTest::newRow("25") << int(Frame25) << 25;
        QTest::newRow("30 drop") << int(Frame30Drop) << 30;
    }

    // Three seconds from a place's start: every frame exactly once, in order,
    // and on the wire before the signal takes it to the rest of the program.
    void onceForEveryFrame()
    {
        const auto [format, fps] = Table::fetch<int, int>("format", "fps");
        Rig r;
        const auto sender = std::make_shared<OrderSender>(r.sent);
        r.calc.setFrameSender(sender);
        r.calc.slotChangedFrames(TimeCodeFormat(format));
        r.select(0, place(3600, 7200));
        r.calc.slotSendTimecodeTimeOut();
        r.run(2999);
        QCOMPARE(r.sent.count(), 3 * fps);
        for (int i = 0; i < r.sent.count(); ++i) {
            const QString expected =
                QString::asprintf("01:00:%02d:%02d/%d", i / fps, i % fps, format);
            QCOMPARE(text(r.sent[i]), expected);
            QCOMPARE(sender->codes.value(i), expected + '@' + QString::number(i));
        }
        QCOMPARE(sender->codes.size(), r.sent.count());
    }

    // Operator actions on a rig, each checked as it goes: a step NAME=VALUE
    // or paused/playing/same is a check, every other step an action (see
    // scenarios()). The row's own text is what the checks must observe.
    void scenarios_data()
    {
        QTest::addColumn<QString>("script");
        // With a tick on the end code's millisecond 000 its frame 00 still goes
        // out. Play after the end runs on past it, without stopping or closing again.
        QTest::newRow("tick on end")
            << "25 place0:10-12 tick run4000 first=00:00:10:00/1 =00:00:12:00/1 paused place=-1 "
               "closed=0 play run3000 playing closed=0 starts=00:00:15:";
        // Ticks every 3 ms from 10.000 land on 11.999 and 12.002: no tick on 12.000.
        QTest::newRow("no tick on end, exit")
            << "25 place0:10-12x tick run4000/3 first=00:00:10:00/1 =00:00:11:24/1 paused place=-1 "
               "closed=1 play run3000 playing closed=1 starts=00:00:15:";
        QTest::newRow("reset during a place keeps its end watched")
            << "25 place2:0-3 run2000 =00:00:02:00/1 reset run1 =00:00:00:00/1 run2999 playing "
               "run2 paused =00:00:03:00/1";
        // Daylight saving ends mid-show: a place runs on. The frozen frame is
        // not sent again; after it the code has jumped 5 s ahead. A new format
        // goes out at once, not at the next frame edge.
        QTest::newRow("pause takes time out, freeze does not")
            << "25 place0:100-200 run1000 =00:01:41:00/1 step-3600000 play run5000 =00:01:41:00/1 "
               "play run40 =00:01:41:01/1 freeze mark run5000 same freeze run39 same run1 "
               "=00:01:46:02/1 30 run1 =00:01:46:02/3";
        // Sent at once, 21 ms into its frame (.480 to .519); an output keeping
        // a frame grid takes the grid from there. The next codes go on their
        // edges. A reset leaves the clock's code alone; the clock source
        // follows the wall clock.
        QTest::newRow("system time while paused starts sending")
            << "wall14:15:16.500 25 sys files=1 file=-3 playing run1 =14:15:16:12/1 age=21 "
               "code=14:15:16:12/1 reset run1000 =14:15:17:12/1 age=0 step-3600000 run1 "
               "=13:15:17:12/1";
        // 23:59:59 is also an end code the calculator watches: it pauses there;
        // play then runs the counter over midnight.
        QTest::newRow("counter wraps at midnight")
            << "30 place0:86398-86399 run1001 paused =23:59:59:00/3 play run1000 "
               "prev=23:59:59:29/3 =00:00:00:00/3 run2000 playing =00:00:02:00/3";
        // No place 10 or -1; a place without record only leaves system time.
        // Paused, the code is still computed (24 fps for 5 s) but not sent.
        // Before any place, play counts from the last reset, paused time
        // taken out. A start after the end pauses (and exits) at the first tick.
        QTest::newRow("odd selections")
            << "place9:5-6 place-1:5-6 nofile3 files=0 paused run5000 sent=0 dmx=120 reset run500 "
               "play run1 =00:00:00:00/0 mark place4:20-10x run1 paused same closed=1";
    }

    void scenarios()
    {
        QFETCH(QString, script);
        Rig r;
        int mark = 0;
        QStringList seen;
        const QRegularExpression placeStep(QStringLiteral("^place(-?\\d+):(\\d+)-(\\d+)(x?)$"));
        for (const QString &step : script.split(QLatin1Char(' '))) {
            const QString key = step.section(QLatin1Char('='), 0, 0);
            const QRegularExpressionMatch m = placeStep.match(step);
            QString now = step; // what a check observed instead
            if (m.hasMatch())
                r.select(m.captured(1).toInt(), place(m.captured(2).toInt(), m.captured(3).toInt(),
                                                      !m.captured(4).isEmpty()));
            else if (step.startsWith(QLatin1String("run")))
                r.run(step.mid(3).section('/', 0, 0).toLongLong(),
                      qMax(1, step.section('/', 1).toInt()));
            else if (step == "tick")
                r.calc.slotSendTimecodeTimeOut();
            else if (step == "play")
                r.calc.slotChangedPlayPause();
            else if (step == "reset")
                r.calc.slotChangedTimeReset();
            else if (step == "freeze")
                r.calc.slotChangedFreeze();
            else if (step == "25")
                r.calc.slotChangedFrame25();
            else if (step == "30")
                r.calc.slotChangedFrame30();
            else if (step == "sys")
                r.select(Place::SystemTime);
            else if (step.startsWith(QLatin1String("nofile")))
                r.calc.slotChangedFile(nullptr, step.mid(6).toInt());
            else if (step.startsWith(QLatin1String("step")))
                r.clock.stepWallClock(step.mid(4).toLongLong());
            else if (step.startsWith(QLatin1String("wall")))
                r.clock.setWallClock(
                    QDateTime(QDate(2026, 12, 6), QTime::fromString(step.mid(4), "hh:mm:ss.zzz")));
            else if (step == "mark")
                mark = r.sent.count();
            else if (step == "same")
                now = r.sent.count() == mark ? step
                                             : QStringLiteral("sent%1").arg(r.sent.count() - mark);
            else if (step == "paused" || step == "playing")
                now = r.calc.isPaused() ? "paused" : "playing";
            else if (key.isEmpty())
                now = '=' + r.lastSent();
            else if (key == "starts")
                now = r.lastSent().startsWith(step.mid(7)) ? step : '=' + r.lastSent();
            else if (key == "first" || key == "prev")
                now = key + '=' +
                      (r.sent.size() < (key == "first" ? 1 : 2)
                           ? QString()
                           : text(r.sent[key == "first" ? 0 : r.sent.size() - 2]));
            else if (key == "code")
                now = "code=" + text(r.calc.sentCode());
            else if (key == "file")
                now = "file=" + (r.files.isEmpty() ? QString() : r.files.last().first().toString());
            else
                now = key + '=' +
                      QString::number(key == "place"    ? r.calc.placeIndex()
                                      : key == "closed" ? r.closed.count()
                                      : key == "sent"   ? r.sent.count()
                                      : key == "dmx"    ? r.dmx.count()
                                      : key == "age"    ? r.calc.frameAgeMs()
                                      : key == "files"  ? r.files.count()
                                                        : -999);
            seen << now;
        }
        QCOMPARE(seen.join(QLatin1Char(' ')), script);
    }

    void nextChange_data()
    {
        Table::columns<int, bool, qint64, qint64>("format", "watchEnd", "t", "wait");
        QTest::newRow("24 inside frame 22") << 0 << false << qint64(917) << qint64(42);
        QTest::newRow("24 last ms of 22") << 0 << false << qint64(958) << qint64(1);
        QTest::newRow("24 last frame") << 0 << false << qint64(959) << qint64(41);
        QTest::newRow("30 drop") << 2 << false << qint64(34) << qint64(33);
        // A watched end code at 00:00:12 is tested one millisecond after it.
        QTest::newRow("end inside frame") << 1 << true << qint64(11990) << qint64(10);
        QTest::newRow("end on edge") << 1 << true << qint64(12000) << qint64(1);
        QTest::newRow("after end") << 1 << true << qint64(12001) << qint64(39);
    }

    // Where the calculator sleeps to: never past a frame edge or the end test.
    void nextChange()
    {
        const auto [format, watchEnd, t, wait] =
            Table::fetch<int, bool, qint64, qint64>("format", "watchEnd", "t", "wait");
        Rig r;
        r.calc.slotChangedFrames(TimeCodeFormat(format));
        if (watchEnd)
            r.select(0, place(10, 12));
        QCOMPARE(r.calc.msUntilNextChange(t), wait);
        const TimeCode now = TimeCodeMath::fromMsOfDay(t, TimeCodeFormat(format));
        for (qint64 ms = t + 1; ms < t + wait; ++ms)
            QCOMPARE(TimeCodeMath::fromMsOfDay(ms, TimeCodeFormat(format)), now);
    }

    // Started without a kernel timer, a tick sleeps to the changes due within
    // the timer's lateness itself: here the last frame's edge and the end test
    // a millisecond later. The timer then wakes it ahead of the next edge.
    void startedWithoutKernelTimer()
    {
        SleepingClock clock;
        TimecodeCalculator calc(&clock);
        calc.slotChangedFrame25();
        calc.slotChangedFile(new SettingStructItem(place(10, 12)), 0);
        calc.slotStart();
        clock.advance(1998);
        calc.slotSendTimecodeTimeOut();
        QVERIFY(calc.isPaused());
        QCOMPARE(calc.findChild<QTimer *>()->interval(), 39 - 2);
    }

    // Ten minutes of the clock at 30000/1001: 17,982 frames, each label once and
    // in drop-frame order, each sent on the first millisecond of its frame, and
    // only woken for those (the waits neither miss nor repeat a frame).
    void trueDropFrameFollowsTheClock()
    {
        Rig r;
        r.calc.slotChangedFrame30Drop();
        r.calc.slotChangedTrueDropFrame(true);
        r.clock.setWallClock(QDateTime(QDate(2026, 12, 6), QTime(10, 0)));
        r.select(Place::SystemTime);
        const qint64 start = msOfDay(r.clock);
        // Sent at once on selection: frame 1,078,921 since midnight began at
        // 35,999,997.6 ms, its first whole millisecond 2 ms before 10:00.
        r.calc.slotSendTimecodeTimeOut();
        QCOMPARE(r.calc.frameAgeMs(), 2);
        QList<qint64> at{r.clock.monotonicMs()};
        at += r.runByWaits(600000, [&] { return msOfDay(r.clock); });
        QCOMPARE(r.sent.count(), 1 + 17982);
        QCOMPARE(at.count(), r.sent.count());
        // Frames counted since midnight: at 10:00:00.000 the labels are 36 ms ahead.
        const qint64 first = DropFrame::frameAtMs(start);
        QCOMPARE(text(r.sent.first()), QStringLiteral("10:00:00:01/2"));
        for (int i = 1; i < r.sent.count(); ++i) {
            const TimeCode expected = DropFrame::labelOfFrame(first + i);
            if (codeOf(r.sent[i]) != expected)
                QFAIL(qPrintable(QStringLiteral("code %1 is %2").arg(i).arg(text(r.sent[i]))));
            if (at[i] - at[0] + start != DropFrame::firstMsOfFrame(first + i))
                QFAIL(qPrintable(QStringLiteral("code %1 late").arg(i)));
        }
    }

    void trueDropFrameAtMidnight_data()
    {
        QTest::addColumn<bool>("byWaits");
        QTest::newRow("woken for each change") << true;
        QTest::newRow("ticked every millisecond") << false;
    }

    // The labels run out 86.4 ms before midnight: the last one is held to
    // midnight, where the count starts again from the clock.
    void trueDropFrameAtMidnight()
    {
        QFETCH(bool, byWaits);
        Rig r;
        r.calc.slotChangedFrame30Drop();
        r.calc.slotChangedTrueDropFrame(true);
        r.clock.setWallClock(QDateTime(QDate(2026, 12, 6), QTime(23, 59, 59, 850)));
        r.select(Place::SystemTime);
        QStringList sent;
        QObject::connect(&r.calc, &TimecodeCalculator::signalSendTimecodeTimeOut, &r.calc, [&] {
            sent << text(r.sent.last()) + QLatin1Char('@') +
                        r.clock.wallClock().time().toString(QStringLiteral("ss.zzz")) +
                        QStringLiteral("+%1").arg(r.calc.frameAgeMs()); // ms into its frame
        });
        if (byWaits)
            r.runByWaits(250, [&] { return msOfDay(r.clock); });
        else
            r.run(250);
        QCOMPARE(sent.mid(1, 4), QStringList({"23:59:59:29/2@59.881+0", "00:00:00:00/2@00.000+0",
                                              "00:00:00:01/2@00.034+0", "00:00:00:02/2@00.067+0"}));
        QCOMPARE(r.calc.msUntilNextChange(TimeCodeMath::MsPerDay - 100), qint64(100));
    }

    void trueDropFrameFromAPlace_data()
    {
        Table::columns<int, int, QString, QString>("startSec", "endSec", "first", "last");
        Table::row("start on a dropped label", 60, 62, "00:01:00:02/2", "00:01:02:00/2");
        Table::row("end on a dropped label", 58, 60, "00:00:58:00/2", "00:00:59:29/2");
        Table::row("minute 10 drops nothing", 599, 601, "00:09:59:00/2", "00:10:01:00/2");
        Table::row("end before start", 700, 600, QString(), QString());
    }

    // From a place: a legal first label, frames counted at 30000/1001 from the
    // moment it was chosen, the end code's frame the last one sent.
    void trueDropFrameFromAPlace()
    {
        const auto [startSec, endSec, first, last] =
            Table::fetch<int, int, QString, QString>("startSec", "endSec", "first", "last");
        Rig r;
        r.calc.slotChangedFrame30Drop();
        r.calc.slotChangedTrueDropFrame(true);
        r.select(0, place(startSec, endSec));
        const qint64 chosen = r.clock.monotonicMs();
        const QList<qint64> at = r.runByWaits(4000, [&, startMs = startSec * 1000LL] {
            return TimeCodeMath::wrapDay(startMs + r.clock.monotonicMs() - chosen);
        });
        QVERIFY(r.calc.isPaused());
        if (first.isEmpty()) {
            QVERIFY(r.sent.isEmpty());
            return;
        }
        QCOMPARE(text(r.sent.first()), first);
        QCOMPARE(r.lastSent(), last);
        const qint64 firstFrame = DropFrame::frameOfLabel(codeOf(r.sent.first()));
        for (int i = 1; i < r.sent.count(); ++i) {
            QCOMPARE(codeOf(r.sent[i]), DropFrame::labelOfFrame(firstFrame + i));
            QCOMPARE(at[i] - chosen, DropFrame::firstMsOfFrame(i));
        }
    }
};

QTEST_GUILESS_MAIN(TestTimecodeCalculator)
#include "tst_timecodecalculator.moc"
