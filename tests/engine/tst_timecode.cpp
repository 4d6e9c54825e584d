#include "timecode.h"

#include <QtTest>

using namespace TimeCodeMath;

class TestTimeCode : public QObject
{
    Q_OBJECT
private slots:
    void frameOfMillisecond_data();
    void frameOfMillisecond();
    void frameBoundaries();
    void dayWrap();
    void thirtyDropSkipsNothing();
    void equality();
    void placeRecord();
};

void TestTimeCode::frameOfMillisecond_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("msec");
    QTest::addColumn<int>("frame");
    QTest::newRow("24 @40") << 0 << 40 << 0;
    QTest::newRow("24 @42") << 0 << 42 << 1;
    QTest::newRow("24 @999") << 0 << 999 << 23;
    QTest::newRow("25 @40") << 1 << 40 << 1;
    QTest::newRow("25 @999") << 1 << 999 << 24;
    QTest::newRow("30d @999") << 2 << 999 << 29;
    QTest::newRow("30 @40") << 3 << 40 << 1;
    QTest::newRow("30 @999") << 3 << 999 << 29;
}

void TestTimeCode::frameOfMillisecond()
{
    QFETCH(int, format);
    QFETCH(int, msec);
    QFETCH(int, frame);
    QCOMPARE(int(TimeCodeMath::frameOfMillisecond(msec, TimeCodeFormat(format))), frame);
}

// Every frame of every format starts at ceil(n * 1000 / fps); the millisecond
// before it still belongs to the previous frame, and every frame occurs.
void TestTimeCode::frameBoundaries()
{
    for (int f = Frame24; f <= Frame30; ++f) {
        const auto format = TimeCodeFormat(f);
        const int fps = framesPerSecond(format);
        int seen = 0;
        int previous = -1;
        for (int ms = 0; ms < 1000; ++ms) {
            const int frame = TimeCodeMath::frameOfMillisecond(ms, format);
            QVERIFY(frame == previous || frame == previous + 1);
            if (frame != previous) {
                QCOMPARE(ms, firstMsOfFrame(frame, format));
                ++seen;
            }
            previous = frame;
        }
        QCOMPARE(seen, fps);
    }
}

void TestTimeCode::dayWrap()
{
    const TimeCode last = fromMsOfDay(MsPerDay - 1, Frame25);
    QCOMPARE(int(last.Hour), 23);
    QCOMPARE(int(last.Minute), 59);
    QCOMPARE(int(last.Seconds), 59);
    QCOMPARE(int(last.Frame), 24);

    const TimeCode wrapped = fromMsOfDay(MsPerDay + 40, Frame25);
    QCOMPARE(int(wrapped.Hour), 0);
    QCOMPARE(int(wrapped.Seconds), 0);
    QCOMPARE(int(wrapped.Frame), 1);

    // A counter moved back before midnight reads the previous day's end.
    const TimeCode before = fromMsOfDay(-1, Frame30);
    QCOMPARE(int(before.Hour), 23);
    QCOMPARE(int(before.Frame), 29);

    const TimeCode fromClock = fromTime(QTime(1, 2, 3, 160), Frame25);
    QCOMPARE(int(fromClock.Hour), 1);
    QCOMPARE(int(fromClock.Minute), 2);
    QCOMPARE(int(fromClock.Seconds), 3);
    QCOMPARE(int(fromClock.Frame), 4);
    QCOMPARE(int(fromClock.Type), 1);
}

void TestTimeCode::thirtyDropSkipsNothing()
{
    const qint64 minute = 60 * 1000;
    const TimeCode a = fromMsOfDay(minute, Frame30Drop);
    const TimeCode b = fromMsOfDay(minute + 34, Frame30Drop);
    QCOMPARE(int(a.Minute), 1);
    QCOMPARE(int(a.Frame), 0);
    QCOMPARE(int(b.Frame), 1);
    QCOMPARE(int(b.Type), 2);
}

void TestTimeCode::equality()
{
    TimeCode a = fromMsOfDay(5000, Frame30);
    TimeCode b = fromMsOfDay(5000, Frame30Drop);
    QVERIFY(a != b); // Type alone makes a new code
    b.Type = a.Type;
    QVERIFY(a == b);
}

void TestTimeCode::placeRecord()
{
    SettingStructItem item;
    QVERIFY(!item.hasStartCode());
    QVERIFY(!item.hasEndCode());
    QCOMPARE(item.endMs(), qint64((23 * 3600 + 59 * 60 + 59) * 1000));

    item.StartSecond = 5;
    QVERIFY(item.hasStartCode());
    QCOMPARE(item.startMs(), qint64(5000));
    item.EndSecond = 58;
    QVERIFY(item.hasEndCode());

    SettingStructItem copy;
    item.ExitAtEnd = 1;
    SettingStructItem::copy(&item, &copy);
    QCOMPARE(copy.StartSecond, quint8(5));
    QCOMPARE(copy.EndSecond, quint8(58));
    QCOMPARE(copy.ExitAtEnd, quint8(1));

    SettingStructItem untouched;
    SettingStructItem::copy(nullptr, &untouched);
    SettingStructItem::copy(&item, nullptr);
    QVERIFY(!untouched.hasStartCode());
}

QTEST_GUILESS_MAIN(TestTimeCode)
#include "tst_timecode.moc"
