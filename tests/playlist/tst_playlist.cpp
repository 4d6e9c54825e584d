#include "fakeclock.h"
#include "playlist.h"
#include "table.h"

#include <QSignalSpy>
#include <QtTest>

#include <poll.h>
#include <unistd.h>

namespace
{
PlaylistTime entry(int place, int year, int month, int day, int weekday, int hour, int minute)
{
    return {quint8(place),   quint16(year), quint8(month), quint8(day),
            quint8(weekday), quint8(hour),  quint8(minute)};
}

constexpr int W = -1; // wildcard, as the store writes it

QDateTime at(int y, int mo, int d, int h, int mi, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s));
}

// A playlist on this thread, ticked by hand at the times a row gives.
struct Rig {
    FakeClock clock;
    Playlist playlist{true, &clock};
    QSignalSpy spy{&playlist, &Playlist::signalActivatedItem};
    QStringList lines;

    Rig()
    {
        playlist.enabled = true;
        playlist.setLineSink([this](const QByteArray &l) { lines << QString::fromLatin1(l); });
    }
    // Places emitted by one tick at `when`, or -100 when none.
    int tick(const QDateTime &when)
    {
        spy.clear();
        clock.setWallClock(when);
        playlist.slotSendTimecodeTimeOut();
        return spy.isEmpty() ? -100 : spy.takeFirst().at(0).toInt();
    }
};
} // namespace

class TestPlaylist : public QObject
{
    Q_OBJECT
private slots:
    // 2026-12-07 is a Monday. "ticks": a time alone keeps the date before it.
    // "fires" holds one character per tick: 1 = the entry's place is
    // emitted, 0 = nothing.
    void firesOncePerOccurrence_data()
    {
        Table::columns<PlaylistTime, QString, QString>("pattern", "ticks", "fires");
        using Table::row;
        row("hour 14 once a day, also when already matching at start", entry(3, W, W, W, W, 14, W),
            "2026-12-07 14:20:00, 14:20:30, 14:59:40, 15:00:10, 2026-12-08 13:59:40, 14:00:10",
            "100001");
        row("minute 30 once an hour", entry(3, W, W, W, W, W, 30),
            "2026-12-07 10:30:00, 10:30:30, 10:31:00, 11:30:00", "1001");
        row("year 2026 with minute 30 once an hour", entry(3, 2026, W, W, W, W, 30),
            "2026-12-07 10:30:00, 10:30:30, 11:30:00, 2026-12-31 23:30:00, 2027-01-01 00:30:00",
            "10110");
        row("Monday hour 8 once a week", entry(3, W, W, W, 0, 8, W),
            "2026-12-07 07:59:40, 08:00:10, 08:30:10, 2026-12-08 08:00:10, "
            "2026-12-14 08:00:10, 08:00:40",
            "010010");
        row("year 2027 with month 1: first tick of the month", entry(3, 2027, 1, W, W, W, W),
            "2027-02-01 00:00:00, 2026-01-01 00:00:00, 2027-01-01 00:00:10, 2027-01-20 09:00:00, "
            "2027-02-01 00:00:00",
            "00100");
        row("day 7 once a month", entry(3, W, W, 7, W, W, W),
            "2026-12-07 10:00:00, 11:00:00, 2027-01-07 00:00:10, 2027-02-07 09:00:00", "1011");
        row("every field given: first tick within its minute only",
            entry(3, 2026, 12, 7, 0, 14, 30),
            "2026-12-07 14:29:40, 14:30:10, 14:30:40, 14:31:10, 2026-12-14 14:30:10", "01000");
        row("year alone never", entry(3, 2026, W, W, W, W, W),
            "2026-01-01 00:00:00, 2026-12-07 14:00:00, 2026-12-08 00:00:00", "000");
        row("all wildcards never", entry(3, W, W, W, W, W, W),
            "2026-12-07 00:00:00, 2026-12-08 01:01:00", "00");
        row("no place never", entry(0xFF, W, W, W, W, 14, W), "2026-12-07 14:00:00", "0");
        row("the lowest no-place code never", entry(0x80, W, W, W, W, 14, W), "2026-12-07 14:00:00",
            "0");
        row("exits software", entry(0xFE, W, W, W, W, 14, W), "2026-12-07 14:00:00", "1");
    }

    void firesOncePerOccurrence()
    {
        const auto [pattern, ticks, fires] =
            Table::fetch<PlaylistTime, QString, QString>("pattern", "ticks", "fires");
        Rig rig;
        rig.playlist.appendItem(pattern);
        QString seen;
        QDate day;
        for (const QString &tick : ticks.split(QStringLiteral(", "))) {
            const QStringList parts = tick.split(QLatin1Char(' '));
            if (parts.size() == 2)
                day = QDate::fromString(parts.first(), Qt::ISODate);
            const int place = rig.tick(QDateTime(day, QTime::fromString(parts.last())));
            if (place != -100)
                QCOMPARE(place, int(qint8(pattern.place)));
            seen += place == -100 ? '0' : '1';
        }
        QCOMPARE(seen, fires);
    }

    void lastDueEntryOfATickWins()
    {
        Rig rig;
        rig.playlist.appendItem(entry(3, W, W, W, W, 14, W));
        rig.playlist.appendItem(entry(0xFE, W, W, W, W, 14, 0));
        rig.playlist.appendItem(entry(5, W, W, W, W, 15, W));

        QCOMPARE(rig.tick(at(2026, 12, 7, 14, 0, 10)), -2);
        QCOMPARE(rig.lines, QStringList({"found place 03 date ----/--/-- --------- 14:--\n",
                                         "found place EX date ----/--/-- --------- 14:00\n",
                                         "activ place EX date 2026/12/07 Monday    14:00\n"}));
        // Both due entries recorded their activation: neither is found again.
        rig.lines.clear();
        QCOMPARE(rig.tick(at(2026, 12, 7, 14, 0, 40)), -100);
        QVERIFY(rig.lines.isEmpty());
    }

    void replacingResetsAndDisabledChangesNothing()
    {
        Rig rig;
        const PlaylistTime hour14 = entry(4, W, W, W, W, 14, W);
        rig.playlist.appendItem(hour14);
        QCOMPARE(rig.tick(at(2026, 12, 7, 14, 0)), 4);
        QCOMPARE(rig.tick(at(2026, 12, 7, 14, 1)), -100);
        rig.playlist.replaceItem(0, hour14);
        QCOMPARE(rig.playlist.itemAt(0).lastActivation, PlaylistTime());
        QCOMPARE(rig.tick(at(2026, 12, 7, 14, 2)), 4);

        rig.playlist.replaceItem(0, hour14);
        rig.playlist.enabled = false;
        const int linesBefore = rig.lines.size();
        for (int day = 8; day < 15; ++day)
            QCOMPARE(rig.tick(at(2026, 12, day, 14, 0)), -100);
        QCOMPARE(rig.playlist.itemAt(0).lastActivation, PlaylistTime());
        QCOMPARE(rig.lines.size(), linesBefore);
    }

    void listOperations()
    {
        FakeClock clock;
        Playlist a(false, &clock), b(false, &clock);
        for (quint8 p = 1; p <= 3; ++p)
            a.appendItem(entry(p, W, W, W, W, p, W));
        QCOMPARE(a.itemAt(3).entry, PlaylistTime()); // out of range: all wildcards
        QVERIFY(entry(3, W, W, W, W, 14, W) != entry(3, W, W, W, W, 15, W));
        a.removeLastItem();
        QCOMPARE(a.itemCount(), 2);
        QCOMPARE(a.itemAt(1).entry.place, quint8(2));
        a.replaceItem(2, entry(7, W, W, W, W, 7, W)); // out of range: nothing happens
        a.replaceItem(-1, entry(7, W, W, W, W, 7, W));
        a.takeItemsFrom(&a);
        a.takeItemsFrom(nullptr);
        QCOMPARE(a.itemCount(), 2);
        QCOMPARE(a.itemAt(1).entry.place, quint8(2));

        b.replaceItem(0, entry(7, W, W, W, W, 7, W)); // on an empty list: nothing happens
        b.appendItem(entry(9, W, W, W, W, 9, W));
        b.enabled = true;
        a.takeItemsFrom(&b);
        QVERIFY(a.enabled && a.itemCount() == 1 && b.itemCount() == 0);
        QCOMPARE(a.itemAt(0).entry.place, quint8(9));
        a.clearItems();
        a.removeLastItem(); // on an empty list: nothing happens
        QVERIFY(a.enabled && a.itemCount() == 0);
    }

    // A started playlist ticks on second 0 and 30 of the wall clock, however
    // the program's start or a clock step fell, so an entry for 04:45 starts
    // its place within the first second of 04:45.
    void ticksOnTheHalfMinute_data()
    {
        // stepMs: the wall clock is set by this after the first tick
        Table::columns<QTime, qint64>("start", "stepMs");
        Table::row("started at 04:44:26.300", QTime(4, 44, 26, 300), qint64(0));
        Table::row("started 50 ms before the minute", QTime(4, 44, 59, 950), qint64(0));
        Table::row("started at 04:43:00.000", QTime(4, 43, 0), qint64(0));
        Table::row("clock set back 1 h 13.7 s", QTime(5, 44, 50), qint64(-3613700));
        Table::row("clock set on 57.4 s", QTime(4, 43, 10), qint64(57400));
    }
    void ticksOnTheHalfMinute()
    {
        const auto [start, stepMs] = Table::fetch<QTime, qint64>("start", "stepMs");
        Rig rig;
        rig.playlist.appendItem(entry(4, W, W, W, W, 4, 45));
        rig.clock.setWallClock(QDateTime(QDate(2026, 12, 7), start));
        rig.playlist.slotStart();
        rig.playlist.slotSendTimecodeTimeOut();
        if (stepMs) {
            // The kernel timer fires on the step; the tick then aims anew.
            rig.clock.stepWallClock(stepMs);
            rig.playlist.slotSendTimecodeTimeOut();
        }
        QDateTime firedAt;
        for (int tick = 0; tick < 8 && rig.spy.isEmpty(); ++tick) {
            const int wait = rig.playlist.nextTickInMs();
            QVERIFY2(wait > 0 && wait <= Playlist::TickIntervalMs,
                     qPrintable(QString::number(wait)));
            rig.clock.advance(wait);
            firedAt = rig.clock.wallClock();
            rig.playlist.slotSendTimecodeTimeOut();
        }
        QCOMPARE(rig.spy.size(), 1);
        QCOMPARE(firedAt.time().hour() * 60 + firedAt.time().minute(), 4 * 60 + 45);
        QVERIFY2(firedAt.time().second() == 0, qPrintable(firedAt.toString("hh:mm:ss.zzz")));
        rig.playlist.slotStop();
    }

    void texts()
    {
        QCOMPARE(Playlist::placeText(0xFD) + Playlist::placeText(0xFE) + Playlist::placeText(0xFF) +
                     Playlist::placeText(7) + Playlist::placeText(120),
                 QStringLiteral("STEX--07120"));
        QCOMPARE(Playlist::itemText(entry(0xFD, 987, 1, 31, 0xFE, 0, 5), 2),
                 QStringLiteral("02 date 0987/01/31 ######### 00:05"));
        QStringList days;
        for (int day = -1; day <= 7; ++day)
            days << Playlist::weekdayText(day, false);
        QCOMPARE(days.join(','), QStringLiteral("---------,Monday,Tuesday,Wednesday,Thursday,"
                                                "Friday,Saturday,Sunday,#########"));
    }

    // Without a sink of its own a verbose playlist writes to standard output.
    void verboseLinesGoToStandardOutput()
    {
        int fds[2];
        QCOMPARE(::pipe(fds), 0);
        const int saved = ::dup(STDOUT_FILENO);
        ::dup2(fds[1], STDOUT_FILENO);
        FakeClock clock;
        Playlist playlist(true, &clock);
        playlist.enabled = true;
        playlist.appendItem(entry(3, W, W, W, W, 14, W));
        clock.setWallClock(at(2026, 12, 7, 14, 0));
        playlist.slotSendTimecodeTimeOut();
        QByteArray out;
        pollfd ready{fds[0], POLLIN, 0};
        char buffer[256];
        ssize_t n = 0;
        while (!out.contains("activ place") && ::poll(&ready, 1, 5000) > 0 &&
               (n = ::read(fds[0], buffer, sizeof buffer)) > 0)
            out.append(buffer, int(n));
        ::dup2(saved, STDOUT_FILENO);
        for (const int fd : {saved, fds[0], fds[1]})
            ::close(fd);
        QVERIFY2(out.contains("activ place 03 date 2026/12/07"), out.constData());
    }
};

QTEST_GUILESS_MAIN(TestPlaylist)
#include "tst_playlist.moc"
