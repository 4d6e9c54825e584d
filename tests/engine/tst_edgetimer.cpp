#include "clock.h"
#include "edgetimer.h"
#include "timecode.h"

#include <QSignalSpy>
#include <QtTest>

#include <ctime>

namespace
{
qint64 nowNs(clockid_t clock)
{
    timespec ts{};
    clock_gettime(clock, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}
} // namespace

class TestEdgeTimer : public QObject
{
    Q_OBJECT
private slots:
    void firesOnceNotBeforeTheLastInstantAimedAt_data();
    void firesOnceNotBeforeTheLastInstantAimedAt();
    void systemClockDeadlines();
    void systemClockWaitsAreNeverEarly();
};

void TestEdgeTimer::firesOnceNotBeforeTheLastInstantAimedAt_data()
{
    QTest::addColumn<int>("clock");
    QTest::newRow("monotonic") << int(CLOCK_MONOTONIC);
    QTest::newRow("real time") << int(CLOCK_REALTIME);
}

void TestEdgeTimer::firesOnceNotBeforeTheLastInstantAimedAt()
{
    QFETCH(int, clock);
    EdgeTimer timer;
    QSignalSpy fired(&timer, &EdgeTimer::fired);
    // Aimed again before it fired: only the second instant counts.
    QVERIFY(timer.armAt(clockid_t(clock), nowNs(clockid_t(clock)) + 10000000));
    const qint64 target = nowNs(clockid_t(clock)) + 40000000;
    QVERIFY(timer.armAt(clockid_t(clock), target));
    QVERIFY(fired.wait(2000));
    QVERIFY(nowNs(clockid_t(clock)) >= target);
    QTest::qWait(60);
    QCOMPARE(fired.count(), 1);

    // An instant already past is due at once; disarmed, nothing comes.
    QVERIFY(timer.armAt(clockid_t(clock), nowNs(clockid_t(clock)) - 1000000));
    QVERIFY(fired.wait(2000));
    QVERIFY(timer.armAt(clockid_t(clock), nowNs(clockid_t(clock)) + 20000000));
    timer.disarm();
    QTest::qWait(60);
    QCOMPARE(fired.count(), 2);
}

void TestEdgeTimer::systemClockDeadlines()
{
    const SystemClock clock;
    qint64 ns = 0;
    QVERIFY(clock.monotonicDeadlineNs(clock.monotonicMs() + 50, &ns));
    qint64 ahead = ns - nowNs(CLOCK_MONOTONIC);
    QVERIFY2(ahead > 30000000 && ahead <= 50000000, qPrintable(QString::number(ahead)));

    // The nearest instant of that time of day: 100 ms ahead, or 100 ms ago
    // rather than a day later.
    for (const qint64 offsetMs : {100, -100}) {
        const qint64 msOfDay =
            TimeCodeMath::wrapDay(clock.wallClock().time().msecsSinceStartOfDay() + offsetMs);
        QVERIFY(clock.wallDeadlineNs(msOfDay, &ns));
        ahead = ns - nowNs(CLOCK_REALTIME);
        QVERIFY2(qAbs(ahead - offsetMs * 1000000) < 20000000, qPrintable(QString::number(ahead)));
    }
}

// The last few milliseconds before a frame edge are slept, not timed: the
// wait may end late on a busy machine, never before its instant.
void TestEdgeTimer::systemClockWaitsAreNeverEarly()
{
    const SystemClock clock;
    for (int i = 0; i < 10; ++i) {
        const qint64 targetMs = clock.monotonicMs() + 3;
        clock.waitForMonotonicMs(targetMs);
        QVERIFY2(clock.monotonicNs() >= targetMs * 1000000, qPrintable(QString::number(i)));

        const QDateTime now = clock.wallClock();
        const qint64 msOfDay = TimeCodeMath::wrapDay(now.time().msecsSinceStartOfDay() + 3);
        qint64 targetNs = 0;
        if (!clock.wallDeadlineNs(msOfDay, &targetNs))
            continue; // the wall clock stepped between the two readings
        clock.waitForWallMsOfDay(msOfDay);
        QVERIFY2(nowNs(CLOCK_REALTIME) >= targetNs, qPrintable(QString::number(i)));
    }
    // Instants are times of day: one given a day early is the same instant.
    qint64 sameNs = 0, earlyNs = 0;
    const qint64 msOfDay = clock.wallClock().time().msecsSinceStartOfDay() + 500;
    QVERIFY(clock.wallDeadlineNs(TimeCodeMath::wrapDay(msOfDay), &sameNs));
    QVERIFY(clock.wallDeadlineNs(msOfDay - TimeCodeMath::MsPerDay, &earlyNs));
    QVERIFY2(qAbs(earlyNs - sameNs) < 100000000, qPrintable(QString::number(earlyNs - sameNs)));
}

QTEST_GUILESS_MAIN(TestEdgeTimer)
#include "tst_edgetimer.moc"
