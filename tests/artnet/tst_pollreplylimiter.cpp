#include "pollreplylimiter.h"

#include <QtTest>

#include <algorithm>
#include <map>
#include <random>
#include <vector>

namespace
{
// One poll: when (in microseconds) and from whom.
struct Poll {
    qint64 us;
    quint32 source;
    bool operator<(const Poll &o) const { return us < o.us || (us == o.us && source < o.source); }
};

// A flood: `sources` forged addresses, each polling every `intervalUs` from
// `startUs`, spread evenly over the interval; `burst` polls in a row each time.
struct Flood {
    int sources = 0;
    qint64 intervalUs = 0;
    int burst = 1;
};

// Consoles poll every 2.5 to 3 s, never quite evenly.
const quint32 ConsoleA = 0x0A4D0002; // 10.77.0.2
const quint32 ConsoleB = 0x0A4D0003; // 10.77.0.3
const qint64 FloodStartUs = 8'000'000;
const qint64 RunUs = 40'000'000;

// Most replies within any one-second window (t - 1 s, t] of the given times.
int mostInAWindow(const std::vector<qint64> &ms)
{
    int most = 0;
    size_t first = 0;
    for (size_t last = 0; last < ms.size(); ++last) {
        while (ms[first] <= ms[last] - 1000)
            ++first;
        most = std::max(most, int(last - first + 1));
    }
    return most;
}
} // namespace

Q_DECLARE_METATYPE(Flood)

// Two consoles polling at their usual pace before and during floods of every
// shape, on a simulated clock.
class TestPollReplyLimiter : public QObject
{
    Q_OBJECT
private slots:
    void floods_data()
    {
        QTest::addColumn<Flood>("flood");
        QTest::newRow("241 forged sources, each every 1.05 s") << Flood{241, 1'050'000, 1};
        QTest::newRow("40 sources at 38/s in all") << Flood{40, 40'000'000 / 38, 1};
        QTest::newRow("one source, 1000/s") << Flood{1, 1'000, 1};
        QTest::newRow("one source, bursts of 50 every 2 s") << Flood{1, 2'000'000, 50};
        QTest::newRow("200 sources, bursts of 10 every 2.5 s") << Flood{200, 2'500'000, 10};
        QTest::newRow("a /24, 20000/s") << Flood{250, 12'500, 1};
        QTest::newRow("more sources than the table, 20000/s")
            << Flood{3 * PollReplyLimiter::MaxSources, 3 * PollReplyLimiter::MaxSources * 50, 1};
    }

    void floods()
    {
        QFETCH(Flood, flood);
        std::vector<Poll> polls;
        std::minstd_rand pace(19); // the same run every time
        for (const quint32 console : {ConsoleA, ConsoleB})
            for (qint64 us = pace() % 1'000'000; us < RunUs; us += 2'500'000 + pace() % 500'000)
                polls.push_back({us, console});
        for (int s = 0; s < flood.sources; ++s) {
            const qint64 phase = flood.intervalUs * s / flood.sources;
            for (qint64 us = FloodStartUs + phase; us < RunUs; us += flood.intervalUs)
                for (int b = 0; b < flood.burst; ++b)
                    polls.push_back({us + b, 0x0A4E0000u + quint32(s)});
        }
        std::stable_sort(polls.begin(), polls.end());

        PollReplyLimiter limiter;
        std::map<quint32, std::vector<qint64>> repliesTo;
        std::vector<qint64> all;
        int consolePolls = 0, consoleReplies = 0, floodReplies = 0, refused = 0;
        for (const Poll &poll : polls) {
            const qint64 ms = poll.us / 1000;
            const bool console = poll.source == ConsoleA || poll.source == ConsoleB;
            const bool answered = limiter.allow(poll.source, ms);
            consolePolls += console;
            if (!answered) {
                ++refused;
                continue;
            }
            repliesTo[poll.source].push_back(ms);
            all.push_back(ms);
            (console ? consoleReplies : floodReplies)++;
        }

        QCOMPARE(consoleReplies, consolePolls);
        int mostToOne = 0;
        for (const auto &[source, times] : repliesTo)
            mostToOne = std::max(mostToOne, mostInAWindow(times));
        QVERIFY2(mostToOne <= PollReplyLimiter::PerSource, qPrintable(QString::number(mostToOne)));
        QVERIFY2(mostInAWindow(all) <= PollReplyLimiter::Total,
                 qPrintable(QString::number(mostInAWindow(all))));
        QVERIFY(floodReplies > 0); // limited, not switched off
        QCOMPARE(limiter.refused(), quint64(refused));
    }
};

QTEST_GUILESS_MAIN(TestPollReplyLimiter)
#include "tst_pollreplylimiter.moc"
