#include "timecode.h"

#include <QtTest>

using namespace TimeCodeMath;

class TestTimeCode : public QObject
{
    Q_OBJECT
private slots:
    void frameBoundaries();
    void fromMs_data();
    void fromMs();
    void placeRecord();
};

// Every frame of every format starts at ceil(n * 1000 / fps); the millisecond
// before it still belongs to the previous frame, and every frame occurs.
void TestTimeCode::frameBoundaries()
{
    for (int f = Frame24; f <= Frame30; ++f) {
        const auto format = TimeCodeFormat(f);
        int seen = 0;
        int previous = -1;
        for (int ms = 0; ms < 1000; ++ms) {
            const int frame = frameOfMillisecond(ms, format);
            QVERIFY(frame == previous || frame == previous + 1);
            if (frame != previous) {
                QCOMPARE(ms, firstMsOfFrame(frame, format));
                QCOMPARE(ms,
                         (frame * 1000 + framesPerSecond(format) - 1) / framesPerSecond(format));
                ++seen;
            }
            previous = frame;
        }
        QCOMPARE(seen, framesPerSecond(format));
    }
}

void TestTimeCode::fromMs_data()
{
    QTest::addColumn<qint64>("ms");
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("code");
    QTest::newRow("last of day") << MsPerDay - 1 << int(Frame25) << "23:59:59:24/1";
    QTest::newRow("wrapped") << MsPerDay + 40 << int(Frame25) << "00:00:00:01/1";
    // A counter moved back before midnight reads the previous day's end.
    QTest::newRow("negative") << qint64(-1) << int(Frame30) << "23:59:59:29/3";
    // 30 drop is counted on the wall clock: no frame numbers are skipped.
    QTest::newRow("30 drop minute") << qint64(60034) << int(Frame30Drop) << "00:01:00:01/2";
}

void TestTimeCode::fromMs()
{
    QFETCH(qint64, ms);
    QFETCH(int, format);
    QFETCH(QString, code);
    const TimeCode c = fromMsOfDay(ms, TimeCodeFormat(format));
    QCOMPARE(
        QString::asprintf("%02d:%02d:%02d:%02d/%d", c.Hour, c.Minute, c.Seconds, c.Frame, c.Type),
        code);
    QVERIFY(fromTime(QTime(1, 2, 3, 160), Frame25) == TimeCode::make(1, 2, 3, 4, Frame25));
    TimeCode other = c;
    other.Type = c.Type == 2 ? 3 : 2;
    QVERIFY(c != other); // Type alone makes a new code
}

void TestTimeCode::placeRecord()
{
    SettingStructItem item;
    QVERIFY(!item.hasStartCode() && !item.hasEndCode());
    QCOMPARE(item.endMs(), qint64((23 * 3600 + 59 * 60 + 59) * 1000));
    item.StartSecond = 5;
    item.EndSecond = 58;
    QVERIFY(item.hasStartCode() && item.hasEndCode());
    QCOMPARE(item.startMs(), qint64(5000));
    QCOMPARE(item.endMs(), qint64((23 * 3600 + 59 * 60 + 58) * 1000));
    SettingStructItem::copy(nullptr, &item); // a missing side is no crash
    SettingStructItem::copy(&item, nullptr);
    QCOMPARE(item.startMs(), qint64(5000));
}

QTEST_GUILESS_MAIN(TestTimeCode)
#include "tst_timecode.moc"
