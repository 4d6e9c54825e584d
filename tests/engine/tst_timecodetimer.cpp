#include "timecodetimer.h"
#include "workerthread.h"

#include <QSignalSpy>
#include <QtTest>

#include <atomic>

namespace
{
class CountingWorker : public TimecodeTimer
{
public:
    explicit CountingWorker(int interval) : TimecodeTimer(interval) {}
    std::atomic<int> ticks{0};

protected:
    void slotSendTimecodeTimeOut() override { ++ticks; }
};
} // namespace

class TestTimecodeTimer : public QObject
{
    Q_OBJECT
private slots:
    void endsWithItsThread_data();
    void endsWithItsThread();
    void startTwiceRestarts();
};

void TestTimecodeTimer::endsWithItsThread_data()
{
    QTest::addColumn<bool>("started");
    QTest::newRow("ticking") << true;
    QTest::newRow("never started") << false;
}

// The whole chain: started -> ticks on the worker thread -> requestStop from
// here -> stoped -> deleteLater -> destroyed -> quit -> finished -> deleteLater.
void TestTimecodeTimer::endsWithItsThread()
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

void TestTimecodeTimer::startTwiceRestarts()
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

QTEST_GUILESS_MAIN(TestTimecodeTimer)
#include "tst_timecodetimer.moc"
