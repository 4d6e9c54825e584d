#include "realtime.h"

#include <QtTest>

#include <pthread.h>
#include <sched.h>

#include <thread>

class TestRealTime : public QObject
{
    Q_OBJECT
private slots:
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
        QFETCH(int, priority);
        QCOMPARE(RealTime::grantablePriority(privileged, limit), priority);
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
};

QTEST_GUILESS_MAIN(TestRealTime)
#include "tst_realtime.moc"
