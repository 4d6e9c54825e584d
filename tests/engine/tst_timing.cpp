#include "clock.h"
#include "edgetimer.h"
#include "framehandoff.h"
#include "realtime.h"
#include "table.h"
#include "timecode.h"
#include "timecodecalculator.h"
#include "timecodetimer.h"
#include "workerthread.h"

#include <QSignalSpy>
#include <QtTest>

#include <array>
#include <atomic>
#include <cstdlib>
#include <ctime>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/timerfd.h>
#include <thread>
#include <unistd.h>

// Every heap allocation of the process, counted per thread: Qt's containers
// call malloc directly, so counting operator new alone would miss them. A
// sanitizer build's allocator must see every block: there nothing is counted.
namespace
{
thread_local quint64 t_allocations = 0;
}
#ifndef __SANITIZE_ADDRESS__
extern "C" {
void *__libc_malloc(size_t);
void *__libc_calloc(size_t, size_t);
void *__libc_realloc(void *, size_t);
void *__libc_memalign(size_t, size_t);

void *malloc(size_t size)
{
    ++t_allocations;
    return __libc_malloc(size);
}
void *calloc(size_t count, size_t size)
{
    ++t_allocations;
    return __libc_calloc(count, size);
}
void *realloc(void *p, size_t size)
{
    ++t_allocations;
    return __libc_realloc(p, size);
}
void *memalign(size_t alignment, size_t size)
{
    ++t_allocations;
    return __libc_memalign(alignment, size);
}
void *aligned_alloc(size_t alignment, size_t size)
{
    return memalign(alignment, size);
}
int posix_memalign(void **p, size_t alignment, size_t size)
{
    *p = memalign(alignment, size);
    return *p ? 0 : ENOMEM;
}
}
#endif

namespace
{
using KernelClock::nowNs;

class CountingWorker : public TimecodeTimer
{
public:
    explicit CountingWorker(int interval) : TimecodeTimer(interval) {}
    std::atomic<int> ticks{0};

protected:
    void slotSendTimecodeTimeOut() override { ++ticks; }
};

// Notes, at each send, how often the sending thread has allocated and how
// often it has waited (blocked) so far.
class AllocationProbe : public FrameSender
{
public:
    void sendFrame(const TimeCode &) override
    {
        const int n = sends.load();
        rusage usage{};
        getrusage(RUSAGE_THREAD, &usage);
        if (n < int(allocations.size())) {
            allocations[size_t(n)] = t_allocations;
            waits[size_t(n)] = usage.ru_nvcsw;
        }
        sends.store(n + 1);
    }
    std::array<quint64, 64> allocations{};
    std::array<long, 64> waits{};
    std::atomic<int> sends{0};
};
} // namespace

// The timing thread's parts: its priority, its kernel timers and clock waits,
// and the worker that ticks on it.
class TestTiming : public QObject
{
    Q_OBJECT

    // A calculator on a thread of its own, as the program runs it, sending
    // `place` from its start; it deletes itself after requestStop().
    static void runOnThread(WorkerThreads &threads, TimecodeCalculator *calculator, int place)
    {
        QThread *thread = threads.adopt(calculator);
        connect(calculator, &TimecodeTimer::stoped, calculator, &QObject::deleteLater);
        connect(thread, &QThread::started, calculator, &TimecodeCalculator::slotStart);
        thread->start();
        QMetaObject::invokeMethod(calculator, "slotChangedFile", Qt::QueuedConnection,
                                  Q_ARG(SettingStructItem *, new SettingStructItem),
                                  Q_ARG(int, place));
    }
private slots:
    void firesOnceNotBeforeTheLastInstantAimedAt_data()
    {
        // leadMs: woken early, the rest slept through
        Table::columns<int, int>("clock", "leadMs");
        QTest::newRow("monotonic") << int(CLOCK_MONOTONIC) << 0;
        QTest::newRow("real time") << int(CLOCK_REALTIME) << 0;
        QTest::newRow("monotonic, lead") << int(CLOCK_MONOTONIC) << 5;
        QTest::newRow("real time, lead") << int(CLOCK_REALTIME) << 5;
    }

    void firesOnceNotBeforeTheLastInstantAimedAt()
    {
        const auto [clock, leadMs] = Table::fetch<int, int>("clock", "leadMs");
        EdgeTimer timer;
        timer.setLeadNs(qint64(leadMs) * 1000000);
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

    // With a lead the kernel timer is set that much before the instant.
    void leadSetsTheKernelTimerEarly()
    {
        constexpr qint64 LeadNs = 10000000000LL;
        EdgeTimer timer;
        timer.setLeadNs(LeadNs);
        const qint64 target = nowNs(CLOCK_MONOTONIC) + 2 * LeadNs;
        QVERIFY(timer.armAt(CLOCK_MONOTONIC, target));
        const qint64 latestNs = target - LeadNs - nowNs(CLOCK_MONOTONIC);
        bool early = false;
        for (const QString &fd : QDir("/proc/self/fd").entryList(QDir::System)) {
            char link[32] = {};
            itimerspec due{};
            if (::readlink(qPrintable("/proc/self/fd/" + fd), link, sizeof link - 1) > 0 &&
                qstrcmp(link, "anon_inode:[timerfd]") == 0 &&
                ::timerfd_gettime(fd.toInt(), &due) == 0)
                early |= due.it_value.tv_sec * 1000000000LL + due.it_value.tv_nsec <= latestNs;
        }
        QVERIFY(early);
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

    // The frame path of a running calculator, from one edge to the next: the
    // wake, the code, the send, the hand-off of the code, the aim at the next
    // edge. Past the first frames (which create the timers) it allocates
    // nothing, or an allocator lock could hold a frame back; and the hand-off
    // still brings every code sent, in order, to the other thread.
    void framePathAllocatesNothing_data()
    {
        QTest::addColumn<int>("place");
        QTest::newRow("time of day") << int(Place::SystemTime);
        QTest::newRow("place") << 1;
    }

    void framePathAllocatesNothing()
    {
        QFETCH(int, place);
#ifndef __SANITIZE_ADDRESS__
        const quint64 before = t_allocations;
        QVERIFY(!QByteArray(100, 'x').isEmpty() && t_allocations > before); // counting works
#endif
        auto probe = std::make_shared<AllocationProbe>();
        FrameHandOff handOff;
        handOff.slotStart();
        QList<int> handed;                   // frames since midnight
        QVERIFY(!handOff.queue()->wanted()); // nobody listens: nothing is posted
        const QMetaObject::Connection listening =
            connect(&handOff, &FrameHandOff::signalSendTimecodeTimeOut, &handOff,
                    [&handed](quint8 h, quint8 m, quint8 s, quint8 f, quint8) {
                        handed << ((h * 60 + m) * 60 + s) * 30 + f;
                    });
        auto *calculator = new TimecodeCalculator;
        QCOMPARE(calculator->sentCode(), TimeCode::make(0, 0, 0, 0, 0)); // none yet
        calculator->setFrameSender(probe);
        calculator->addHandOff(handOff.queue());
        calculator->slotChangedFrame30();
        WorkerThreads threads;
        runOnThread(threads, calculator, place);
        // Over half a second: a stand-by tick of the own timer falls in it too.
        const int frames = 16;
        QTRY_VERIFY_WITH_TIMEOUT(probe->sends.load() >= frames, 5000);
        calculator->requestStop();
        QVERIFY(threads.waitAll(5000));
        QCOMPARE(probe->allocations[frames - 1] - probe->allocations[3], quint64(0));
        // One wait a frame, the sleep to its edge, not a timer's wake-up and
        // then the sleep.
        const long waits = probe->waits[frames - 1] - probe->waits[3];
        QVERIFY2(waits <= (frames - 4) * 5 / 4, qPrintable(QString::number(waits)));

        QTRY_VERIFY_WITH_TIMEOUT(handed.size() >= frames, 2000);
        QCOMPARE(handOff.queue()->dropped(), quint64(0));

        // A consumer a whole ring behind: the newest entry is left out, counted.
        FrameHandOff::Queue full;
        full.addListener();
        int posted = 0;
        while (posted < 1000 && full.post(FrameHandOff::Entry()))
            ++posted;
        QCOMPARE(posted, 64);
        QCOMPARE(full.dropped(), quint64(1));
        FrameHandOff::Entry entry;
        QVERIFY(full.take(&entry) && full.post(entry));
        QVERIFY(handOff.queue()->wanted());
        disconnect(listening);
        QVERIFY(!handOff.queue()->wanted());
        for (int i = 1; i < handed.size(); ++i)
            QCOMPARE((handed[i] - handed[i - 1] + 30 * 86400) % (30 * 86400), 1);
    }

    // A receiver destroyed on its own thread tells the hand-off so from there,
    // once per connection, while the hand-off may be going away on its own
    // thread at the same moment. Nothing may touch the hand-off's ring after
    // it is freed (a sanitizer build reports that at once, a plain one
    // corrupts the heap now and then); the hand-off's thread still ends with
    // it, and then nobody is left listening.
    void receiverDyingWhileHandOffGoes()
    {
        QThread receivers;
        receivers.start();
        const auto stop = qScopeGuard([&receivers]() {
            receivers.quit();
            receivers.wait();
        });
        WorkerThreads threads;
        for (int round = 0; round < 30; ++round) {
            auto *handOff = new FrameHandOff;
            const std::shared_ptr<FrameHandOff::Queue> queue = handOff->queue();
            threads.adopt(handOff)->start();
            auto *receiver = new QObject;
            receiver->moveToThread(&receivers);
            for (int i = 0; i < 50; ++i)
                connect(handOff, &FrameHandOff::signalSendTimecodeTimeOut, receiver,
                        [](quint8, quint8, quint8, quint8, quint8) {});
            QVERIFY(queue->wanted());
            QSemaphore dying;
            QMetaObject::invokeMethod(receiver, [receiver, &dying]() {
                dying.release();
                delete receiver;
            });
            dying.acquire();
            handOff->deleteLater();
            QVERIFY2(threads.waitAll(5000), qPrintable(QString::number(round)));
            QVERIFY2(!queue->wanted(), qPrintable(QString::number(round)));
        }
    }

    // The Art-Net node going away replaces the sender first: that must wait
    // for a send under way on the timing thread, or the node would be freed
    // under it.
    void senderReplacedAfterTheSendUnderWay()
    {
        struct HeldSender : FrameSender {
            QSemaphore entered, release;
            std::atomic<bool> ended{false};
            void sendFrame(const TimeCode &) override
            {
                if (ended.load())
                    return;
                entered.release();
                release.acquire();
                ended.store(true);
            }
        };
        auto sender = std::make_shared<HeldSender>();
        auto *calculator = new TimecodeCalculator;
        calculator->setFrameSender(sender);
        WorkerThreads threads;
        runOnThread(threads, calculator, Place::SystemTime);
        QVERIFY(sender->entered.tryAcquire(1, 5000));
        std::atomic<bool> returned{false}, endedAtReturn{false};
        std::thread replacing([&]() {
            calculator->setFrameSender(nullptr);
            endedAtReturn = sender->ended.load();
            returned = true;
        });
        // Time for a wrong answer to show; a right one waits for the release.
        for (int i = 0; i < 200 && !returned; ++i)
            QThread::msleep(1);
        sender->release.release();
        replacing.join();
        QVERIFY(endedAtReturn);
        calculator->requestStop();
        QVERIFY(threads.waitAll(5000));
    }

    void grantablePriority_data()
    {
        Table::columns<bool, long, int>("privileged", "limit", "priority");
        QTest::newRow("root or CAP_SYS_NICE") << true << 0L << RealTime::ModestPriority;
        QTest::newRow("privileged, low limit ignored") << true << 5L << RealTime::ModestPriority;
        QTest::newRow("no right at all") << false << 0L << 0;
        QTest::newRow("limit below modest") << false << 5L << 5;
        QTest::newRow("limit above modest") << false << 99L << RealTime::ModestPriority;
    }
    void grantablePriority()
    {
        const auto [privileged, limit] = Table::fetch<bool, long>("privileged", "limit");
        QTEST(RealTime::grantablePriority(privileged, limit), "priority");
    }

    // Whatever this machine grants, the outcome reports what the thread got;
    // a thread asked to stay far below still gets real time, at the lowest
    // priority, when the timing thread would.
    void outcomeMatchesTheThread()
    {
        bool granted = false;
        for (const int below : {0, 100}) {
            RealTime::Outcome outcome;
            int policy = -1;
            sched_param param{};
            std::thread([&] {
                outcome = below ? RealTime::promoteCurrentThread(below)
                                : RealTime::promoteCurrentThread(); // as the timing thread asks
                pthread_getschedparam(pthread_self(), &policy, &param);
            }).join();
            QCOMPARE(outcome.realTime, policy == SCHED_FIFO);
            QCOMPARE(outcome.priority, outcome.realTime ? param.sched_priority : 0);
            QVERIFY(outcome.text.contains(outcome.realTime ? "SCHED_FIFO" : "normal scheduling"));
            QVERIFY(outcome.priority <= RealTime::ModestPriority);
            granted = granted || outcome.realTime;
            if (below > 0)
                QCOMPARE(outcome.priority, granted ? 1 : 0);
            else if (outcome.realTime && geteuid() == 0) // root is granted it whole
                QCOMPARE(outcome.priority, RealTime::ModestPriority);
        }
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

        QVERIFY(!threads.waitAll(0)); // running: not all finished
        worker->requestStop();
        QVERIFY(threads.waitAll(5000));
        QVERIFY(alive.isNull() && thread.isNull()); // gone without this thread's event loop
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
