#include "pollreplylimiter.h"

#include <QtTest>

// A console polling at its usual pace next to floods of polls, on a simulated
// millisecond clock.
class TestPollReplyLimiter : public QObject
{
    Q_OBJECT
private slots:
    void floods_data()
    {
        QTest::addColumn<int>("floodSources"); // distinct forged addresses
        QTest::addColumn<int>("floodPerSecond");
        QTest::addColumn<int>("maxFloodReplies"); // over the 10 s run
        const int seconds = 10;
        const int shared = PollReplyLimiter::BusyTotal + PollReplyLimiter::QuietTotal;
        QTest::newRow("console alone") << 0 << 0 << 0;
        QTest::newRow("one source, 1000/s")
            << 1 << 1000 << PollReplyLimiter::PerSource * (seconds + 1);
        QTest::newRow("a /24 of forged sources, 20000/s") << 250 << 20000 << shared * (seconds + 1);
        QTest::newRow("more sources than the table, 20000/s")
            << 3 * PollReplyLimiter::MaxSources << 20000 << shared * (seconds + 1);
    }
    void floods()
    {
        QFETCH(int, floodSources);
        QFETCH(int, floodPerSecond);
        QFETCH(int, maxFloodReplies);
        PollReplyLimiter limiter;
        const quint32 console = 0x0A4D0002; // 10.77.0.2
        int consolePolls = 0, consoleReplies = 0, floodReplies = 0, sent = 0;
        for (qint64 us = 0; us < 10'000'000; us += 100) {
            const qint64 ms = us / 1000;
            if (us % 2'500'000 == 0) { // the console
                ++consolePolls;
                consoleReplies += limiter.allow(console, ms);
            }
            for (; floodPerSecond && sent < qint64(floodPerSecond) * us / 1'000'000; ++sent)
                floodReplies += limiter.allow(0x0A4D0100u + quint32(sent % floodSources), ms);
        }
        QCOMPARE(consoleReplies, consolePolls);
        QVERIFY2(floodReplies <= maxFloodReplies, qPrintable(QString::number(floodReplies)));
        QVERIFY(floodReplies > 0 || floodSources == 0); // limited, not switched off
        QCOMPARE(limiter.refused(), quint64(sent - floodReplies));
    }
};

QTEST_GUILESS_MAIN(TestPollReplyLimiter)
#include "tst_pollreplylimiter.moc"
