#include "clock.h"
#include "edgetimer.h"
#include "realtime.h"
#include "timecode.h"
#include "timecodetimer.h"
#include "workerthread.h"

#include <QSignalSpy>
#include <QtTest>

#include <atomic>
#include <ctime>
#include <pthread.h>
#include <sched.h>
#include <thread>

namespace
{
qint64 nowNs(clockid_t clock)
{
    timespec ts{};
    clock_gettime(clock, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

class CountingWorker : public TimecodeTimer
{
public:
    explicit CountingWorker(int interval) : TimecodeTimer(interval) {}
    std::atomic<int> ticks{0};

protected:
    void slotSendTimecodeTimeOut() override { ++ticks; }
};
} // namespace

// The timing thread's parts: its priority, its kernel timers and clock waits,
// and the worker that ticks on it.
class TestTiming : public QObject
{
    Q_OBJECT
private slots:
    void firesOnceNotBeforeTheLastInstantAimedAt_data()
    {
        QTest::addColumn<int>("clock");
        QTest::newRow("monotonic") << int(CLOCK_MONOTONIC);
        QTest::newRow("real time") << int(CLOCK_REALTIME);
    }

    void firesOnceNotBeforeTheLastInstantAimedAt()
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

    void systemClockDeadlines()
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
            QVERIFY2(qAbs(ahead - offsetMs * 1000000) < 20000000,
                     qPrintable(QString::number(ahead)));
        }
    }

    // The last few milliseconds before a frame edge are slept, not timed: the
    // wait may end late on a busy machine, never before its instant.
    void systemClockWaitsAreNeverEarly()
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

    void grantablePriority_data()
    {
        QTest::addColumn<bool>("privileged");
        QTest::addColumn<long>("limit");
        QTest::addColumn<int>("priority");
        QTest::newRow("root or CAP_SYS_NICE") << true << 0L << RealTime::ModestPriority;
        QTest::newRow("privileged, low limit ignored") << true << 5L << RealTime::ModestPriority;
        QTest::newRow("no right at all") << false << 0L << 0;
        QTest::newRow("limit below modest") << false << 5L << 5;
        QTest::newRow("limit above modest") << false << 99L << RealTime::ModestPriority;
    }
    void grantablePriority()
    {
        QFETCH(bool, privileged);
        QFETCH(long, limit);
        QTEST(RealTime::grantablePriority(privileged, limit), "priority");
    }

    // Whatever this machine grants, the outcome reports what the thread got.
    void outcomeMatchesTheThread()
    {
        RealTime::Outcome outcome;
        int policy = -1;
        sched_param param{};
        std::thread([&] {
            outcome = RealTime::promoteCurrentThread();
            pthread_getschedparam(pthread_self(), &policy, &param);
        }).join();
        QCOMPARE(outcome.realTime, policy == SCHED_FIFO);
        QCOMPARE(outcome.priority, outcome.realTime ? param.sched_priority : 0);
        QVERIFY(outcome.text.contains(outcome.realTime ? "SCHED_FIFO" : "normal scheduling"));
        QVERIFY(outcome.priority <= RealTime::ModestPriority);
    }

    void endsWithItsThread_data()
    {
        QTest::addColumn<bool>("started");
        QTest::newRow("ticking") << true;
        QTest::newRow("never started") << false;
    }

    // The whole chain: started -> ticks on the worker thread -> requestStop from
    // here -> stoped -> deleteLater -> destroyed -> quit -> finished -> deleteLater.
    void endsWithItsThread()
    {
        QFETCH(bool, started);
        auto *worker = new CountingWorker(1);
        QPointer<CountingWorker> alive(worker);
        WorkerThreads threads;
        QPointer<QThread> thread = threads.adopt(worker);
        if (started)
            connect(thread, &QThread::started, worker, &TimecodeTimer::slotStart);
        connect(worker, &TimecodeTimer::stoped, worker, &QObject::deleteLater);
        QSignalSpy stopped(worker, &TimecodeTimer::stoped);
        thread->start(QThread::HighPriority);
        if (started) {
            QTRY_VERIFY_WITH_TIMEOUT(worker->ticks.load() >= 20, 5000);
            QCOMPARE(worker->thread(), thread.data());
        }

        worker->requestStop();
        QVERIFY(threads.waitAll(5000));
        QTRY_VERIFY_WITH_TIMEOUT(alive.isNull() && thread.isNull(), 5000);
        QCOMPARE(stopped.count(), 1);
        QCOMPARE(threads.runningCount(), 0);
    }

    void startTwiceRestarts()
    {
        CountingWorker worker(50);
        worker.slotStart();
        worker.slotStart();
        QVERIFY(worker.isTimerActive());
        QTRY_VERIFY_WITH_TIMEOUT(worker.ticks.load() >= 2, 2000);
        QSignalSpy stopped(&worker, &TimecodeTimer::stoped);
        worker.slotStop();
        QVERIFY(!worker.isTimerActive());
        QCOMPARE(stopped.count(), 1);
        const int ticks = worker.ticks.load();
        QTest::qWait(150);
        QCOMPARE(worker.ticks.load(), ticks);
    }
};

QTEST_GUILESS_MAIN(TestTiming)
#include "tst_timing.moc"
