#include "fakeclock.h"
#include "timecodecalculator.h"

#include <QSignalSpy>
#include <QtTest>

namespace
{

QString text(const QList<QVariant> &args)
{
    return QString::asprintf("%02d:%02d:%02d:%02d/%d", args[0].toInt(), args[1].toInt(),
                             args[2].toInt(), args[3].toInt(), args[4].toInt());
}

// A calculator on the test's thread, driven by a fake clock: every step moves
// the clock and runs one tick, as the 1 ms timer would.
struct Rig {
    FakeClock clock;
    TimecodeCalculator calc{&clock};
    QSignalSpy sent{&calc, &TimecodeCalculator::signalSendTimecodeTimeOut};
    QSignalSpy dmx{&calc, &TimecodeCalculator::signalArtnetCheckDmxIn};
    QSignalSpy closed{&calc, &TimecodeCalculator::signalClose};

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
};

// Records each code it is handed and how many code signals had gone before it.
struct RecordingSender : FrameSender {
    explicit RecordingSender(const QSignalSpy &spy) : signalsSoFar(spy) {}
    void sendFrame(const TimeCode &c) override
    {
        codes << QString::asprintf("%02d:%02d:%02d:%02d/%d", c.Hour, c.Minute, c.Seconds, c.Frame,
                                   c.Type);
        before << int(signalsSoFar.count());
    }
    const QSignalSpy &signalsSoFar;
    QStringList codes;
    QList<int> before;
};

SettingStructItem place(int startSec, int endSec, bool exitAtEnd = false)
{
    SettingStructItem item;
    item.StartHour = quint8(startSec / 3600);
    item.StartMinute = quint8(startSec / 60 % 60);
    item.StartSecond = quint8(startSec % 60);
    item.EndHour = quint8(endSec / 3600);
    item.EndMinute = quint8(endSec / 60 % 60);
    item.EndSecond = quint8(endSec % 60);
    item.ExitAtEnd = exitAtEnd ? 1 : 0;
    return item;
}

} // namespace

class TestTimecodeCalculator : public QObject
{
    Q_OBJECT
private slots:
    void startsPausedAndSendsNothing();
    void onceForEveryFrame_data();
    void onceForEveryFrame();
    void endCodeStopsAndExits_data();
    void endCodeStopsAndExits();
    void resetDuringPlaceKeepsEndWatched();
    void pauseTakesTimeOutFreezeDoesNot();
    void frameSenderHasEachSentCodeFirst();
    void formatSwitchSendsAtOnce();
    void systemTimeWhilePausedStartsSending();
    void counterWrapsAtMidnight();
    void wallClockStepDoesNotMovePlace();
    void oddSelections();
    void nextChange_data();
    void nextChange();
};

void TestTimecodeCalculator::startsPausedAndSendsNothing()
{
    Rig r;
    r.run(2000);
    QVERIFY(r.sent.isEmpty());
    QCOMPARE(r.dmx.count(), 48); // the code is still computed: 24 fps for 2 s
    QVERIFY(r.calc.isPaused());
}

void TestTimecodeCalculator::onceForEveryFrame_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("fps");
    QTest::newRow("24") << int(Frame24) << 24;
    QTest::newRow("25") << int(Frame25) << 25;
    QTest::newRow("30 drop") << int(Frame30Drop) << 30;
    QTest::newRow("30") << int(Frame30) << 30;
}

// Three seconds from a place's start: every frame exactly once, in order.
void TestTimecodeCalculator::onceForEveryFrame()
{
    QFETCH(int, format);
    QFETCH(int, fps);
    Rig r;
    r.calc.slotChangedFrames(TimeCodeFormat(format));
    r.select(0, place(3600, 7200));
    r.calc.slotSendTimecodeTimeOut();
    r.run(2999);
    QCOMPARE(r.sent.count(), 3 * fps);
    for (int i = 0; i < r.sent.count(); ++i) {
        const QString expected = QString::asprintf("01:00:%02d:%02d/%d", i / fps, i % fps, format);
        QCOMPARE(text(r.sent[i]), expected);
    }
}

void TestTimecodeCalculator::endCodeStopsAndExits_data()
{
    QTest::addColumn<int>("tickEvery");
    QTest::addColumn<bool>("exitAtEnd");
    QTest::addColumn<QString>("lastCode");
    // With a tick on the end code's millisecond 000 its frame 00 still goes out.
    QTest::newRow("tick on end") << 1 << false << "00:00:12:00/1";
    QTest::newRow("tick on end, exit") << 1 << true << "00:00:12:00/1";
    // Ticks every 3 ms from 10.000 land on 11.999 and 12.002: no tick on 12.000.
    QTest::newRow("no tick on end") << 3 << false << "00:00:11:24/1";
    QTest::newRow("no tick on end, exit") << 3 << true << "00:00:11:24/1";
}

void TestTimecodeCalculator::endCodeStopsAndExits()
{
    QFETCH(int, tickEvery);
    QFETCH(bool, exitAtEnd);
    QFETCH(QString, lastCode);
    Rig r;
    r.calc.slotChangedFrame25();
    r.select(0, place(10, 12, exitAtEnd));
    r.calc.slotSendTimecodeTimeOut();
    r.run(4000, tickEvery);
    QCOMPARE(text(r.sent.first()), QStringLiteral("00:00:10:00/1"));
    QCOMPARE(r.lastSent(), lastCode);
    QVERIFY(r.calc.isPaused());
    QCOMPARE(r.calc.placeIndex(), -1);
    QCOMPARE(r.closed.count(), exitAtEnd ? 1 : 0);

    // Play after the end runs on past it, without stopping or closing again.
    r.calc.slotChangedPlayPause();
    r.run(3000);
    QVERIFY(!r.calc.isPaused());
    QCOMPARE(r.closed.count(), exitAtEnd ? 1 : 0);
    QVERIFY(r.lastSent().startsWith(QLatin1String("00:00:15:")));
}

void TestTimecodeCalculator::resetDuringPlaceKeepsEndWatched()
{
    Rig r;
    r.calc.slotChangedFrame25();
    r.select(2, place(0, 3));
    r.run(2000);
    QCOMPARE(r.lastSent(), QStringLiteral("00:00:02:00/1"));
    r.calc.slotChangedTimeReset();
    r.run(1);
    QCOMPARE(r.lastSent(), QStringLiteral("00:00:00:00/1"));
    r.run(2999);
    QVERIFY(!r.calc.isPaused());
    r.run(2);
    QVERIFY(r.calc.isPaused());
    QCOMPARE(r.lastSent(), QStringLiteral("00:00:03:00/1"));
}

void TestTimecodeCalculator::pauseTakesTimeOutFreezeDoesNot()
{
    Rig r;
    r.calc.slotChangedFrame25();
    r.select(0, place(100, 200));
    r.run(1000);
    QCOMPARE(r.lastSent(), QStringLiteral("00:01:41:00/1"));

    r.calc.slotChangedPlayPause();
    r.run(5000);
    QCOMPARE(r.lastSent(), QStringLiteral("00:01:41:00/1"));
    r.calc.slotChangedPlayPause();
    r.run(40);
    QCOMPARE(r.lastSent(), QStringLiteral("00:01:41:01/1"));

    r.calc.slotChangedFreeze();
    const int before = r.sent.count();
    r.run(5000);
    QCOMPARE(r.sent.count(), before);
    r.calc.slotChangedFreeze();
    r.run(39);
    QCOMPARE(r.sent.count(), before); // the frozen frame is not sent again
    r.run(1);
    QCOMPARE(r.lastSent(), QStringLiteral("00:01:46:02/1")); // jumped 5 s ahead
}

// The sender gets exactly the codes the signal carries, each before the signal
// goes out, and nothing once it is taken away.
void TestTimecodeCalculator::frameSenderHasEachSentCodeFirst()
{
    Rig r;
    auto sender = std::make_shared<RecordingSender>(r.sent);
    r.calc.setFrameSender(sender);
    r.calc.slotChangedFrame25();
    r.run(200); // paused: nothing
    r.select(0, place(100, 200));
    r.run(1000);
    r.calc.slotChangedFreeze();
    r.run(500);
    r.calc.slotChangedFreeze();
    r.run(500);
    QStringList signalled;
    for (const QList<QVariant> &args : std::as_const(r.sent))
        signalled << text(args);
    QCOMPARE(sender->codes, signalled);
    QVERIFY(signalled.size() > 25); // frames before and after the freeze
    for (int i = 0; i < sender->before.size(); ++i)
        QCOMPARE(sender->before[i], i);

    r.calc.setFrameSender(nullptr);
    r.run(1000);
    QCOMPARE(sender->codes.size(), signalled.size());
    QCOMPARE(r.sent.count(), signalled.size() + 25);
}

void TestTimecodeCalculator::formatSwitchSendsAtOnce()
{
    Rig r;
    r.calc.slotChangedFrame25();
    r.select(0, place(1, 100));
    r.run(960);
    QCOMPARE(r.lastSent(), QStringLiteral("00:00:01:24/1"));
    const int before = r.sent.count();
    r.calc.slotChangedFrame30();
    r.run(1);
    QCOMPARE(r.sent.count(), before + 1);
    QCOMPARE(r.lastSent(), QStringLiteral("00:00:01:28/3"));
}

void TestTimecodeCalculator::systemTimeWhilePausedStartsSending()
{
    Rig r;
    r.clock.setWallClock(QDateTime(QDate(2026, 12, 6), QTime(14, 15, 16, 500)));
    r.calc.slotChangedFrame25();
    QSignalSpy file(&r.calc, &TimecodeCalculator::signalChangedFile);
    r.select(Place::SystemTime);
    QCOMPARE(file.count(), 1);
    QCOMPARE(file.first().first().toInt(), -3);
    QVERIFY(!r.calc.isPaused());
    r.run(1);
    QCOMPARE(r.lastSent(), QStringLiteral("14:15:16:12/1"));
    // A reset leaves the clock's code alone.
    r.calc.slotChangedTimeReset();
    r.run(1000);
    QCOMPARE(r.lastSent(), QStringLiteral("14:15:17:12/1"));
}

void TestTimecodeCalculator::counterWrapsAtMidnight()
{
    Rig r;
    r.calc.slotChangedFrame30();
    // 23:59:59 is also an end code the calculator watches: it pauses there;
    // play then runs the counter over midnight.
    r.select(0, place(23 * 3600 + 59 * 60 + 58, 23 * 3600 + 59 * 60 + 59));
    r.run(1001);
    QVERIFY(r.calc.isPaused());
    QCOMPARE(r.lastSent(), QStringLiteral("23:59:59:00/3"));
    r.calc.slotChangedPlayPause();
    r.run(1000);
    QCOMPARE(text(r.sent[r.sent.count() - 2]), QStringLiteral("23:59:59:29/3"));
    QCOMPARE(r.lastSent(), QStringLiteral("00:00:00:00/3"));
    r.run(2000);
    QVERIFY(!r.calc.isPaused());
    QCOMPARE(r.lastSent(), QStringLiteral("00:00:02:00/3"));
}

void TestTimecodeCalculator::wallClockStepDoesNotMovePlace()
{
    Rig r;
    r.calc.slotChangedFrame25();
    r.select(0, place(0, 100));
    r.run(1000);
    r.clock.stepWallClock(-3600 * 1000); // daylight saving ends mid-show
    r.run(40);
    QCOMPARE(r.lastSent(), QStringLiteral("00:00:01:01/1"));
    r.select(Place::SystemTime);
    r.run(1);
    QCOMPARE(r.sent.last().at(0).toInt(), 9); // the clock source follows the wall clock
}

// Selections the operator does not usually make, and play before any place.
void TestTimecodeCalculator::oddSelections()
{
    Rig r;
    QSignalSpy file(&r.calc, &TimecodeCalculator::signalChangedFile);
    r.select(9, place(5, 6));
    r.select(-1, place(5, 6));
    r.calc.slotChangedFile(nullptr, 3); // a place without record only leaves system time
    QVERIFY(file.isEmpty());
    QVERIFY(r.calc.isPaused());

    // Before any place, play counts from the reset instant.
    r.run(5000);
    r.calc.slotChangedPlayPause();
    r.run(1);
    QCOMPARE(r.lastSent(), QStringLiteral("00:00:00:00/0"));

    // A start after the end pauses (and exits) at the first tick.
    const int sent = r.sent.count();
    r.select(4, place(20, 10, true));
    r.run(1);
    QVERIFY(r.calc.isPaused());
    QCOMPARE(r.sent.count(), sent);
    QCOMPARE(r.closed.count(), 1);
}

void TestTimecodeCalculator::nextChange_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<bool>("watchEnd");
    QTest::addColumn<qint64>("t");
    QTest::addColumn<qint64>("wait");
    QTest::newRow("24 inside frame 22") << 0 << false << qint64(917) << qint64(42);
    QTest::newRow("24 last ms of 22") << 0 << false << qint64(958) << qint64(1);
    QTest::newRow("24 last frame") << 0 << false << qint64(959) << qint64(41);
    QTest::newRow("25") << 1 << false << qint64(10039) << qint64(1);
    QTest::newRow("30 drop") << 2 << false << qint64(34) << qint64(33);
    QTest::newRow("30 last ms") << 3 << false << qint64(999) << qint64(1);
    // A watched end code at 00:00:12 is tested one millisecond after it.
    QTest::newRow("end inside frame") << 1 << true << qint64(11990) << qint64(10);
    QTest::newRow("end on edge") << 1 << true << qint64(12000) << qint64(1);
    QTest::newRow("after end") << 1 << true << qint64(12001) << qint64(39);
}

// Where the calculator sleeps to: never past a frame edge or the end test.
void TestTimecodeCalculator::nextChange()
{
    QFETCH(int, format);
    QFETCH(bool, watchEnd);
    QFETCH(qint64, t);
    QFETCH(qint64, wait);
    Rig r;
    r.calc.slotChangedFrames(TimeCodeFormat(format));
    if (watchEnd)
        r.select(0, place(10, 12));
    QCOMPARE(r.calc.msUntilNextChange(t), wait);
    const TimeCode now = TimeCodeMath::fromMsOfDay(t, TimeCodeFormat(format));
    for (qint64 ms = t + 1; ms < t + wait; ++ms)
        QCOMPARE(TimeCodeMath::fromMsOfDay(ms, TimeCodeFormat(format)), now);
}

QTEST_GUILESS_MAIN(TestTimecodeCalculator)
#include "tst_timecodecalculator.moc"
