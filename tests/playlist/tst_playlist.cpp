#include "fakeclock.h"
#include "playlist.h"

#include <QSignalSpy>
#include <QtTest>

namespace
{
PlaylistTime entry(quint8 place, int year, int month, int day, int weekday, int hour, int minute)
{
    PlaylistTime t;
    t.place = place;
    t.year = quint16(year);
    t.month = quint8(month);
    t.day = quint8(day);
    t.weekday = quint8(weekday);
    t.hour = quint8(hour);
    t.minute = quint8(minute);
    return t;
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
    void firesOncePerOccurrence_data();
    void firesOncePerOccurrence();
    void lastDueEntryOfATickWins();
    void replacingResetsAndDisabledChangesNothing();
    void listOperations();
    void texts_data();
    void texts();
};

// 2026-12-07 is a Monday. "fires" holds one character per tick: 1 = the
// entry's place is emitted, 0 = nothing.
void TestPlaylist::firesOncePerOccurrence_data()
{
    QTest::addColumn<PlaylistTime>("pattern");
    QTest::addColumn<QList<QDateTime>>("ticks");
    QTest::addColumn<QString>("fires");

    QTest::newRow("hour 14 once a day, also when already matching at start")
        << entry(3, W, W, W, W, 14, W)
        << QList<QDateTime>{at(2026, 12, 7, 14, 20),     at(2026, 12, 7, 14, 20, 30),
                            at(2026, 12, 7, 14, 59, 40), at(2026, 12, 7, 15, 0, 10),
                            at(2026, 12, 8, 13, 59, 40), at(2026, 12, 8, 14, 0, 10)}
        << "100001";
    QTest::newRow("minute 30 once an hour")
        << entry(3, W, W, W, W, W, 30)
        << QList<QDateTime>{at(2026, 12, 7, 10, 30, 0), at(2026, 12, 7, 10, 30, 30),
                            at(2026, 12, 7, 10, 31, 0), at(2026, 12, 7, 11, 30, 0)}
        << "1001";
    QTest::newRow("Monday hour 8 once a week")
        << entry(3, W, W, W, 0, 8, W)
        << QList<QDateTime>{at(2026, 12, 7, 7, 59, 40), at(2026, 12, 7, 8, 0, 10),
                            at(2026, 12, 7, 8, 30, 10), at(2026, 12, 8, 8, 0, 10),
                            at(2026, 12, 14, 8, 0, 10), at(2026, 12, 14, 8, 0, 40)}
        << "010010";
    QTest::newRow("6 March 14:30 once a year")
        << entry(3, W, 3, 6, W, 14, 30)
        << QList<QDateTime>{at(2027, 3, 6, 14, 30, 0), at(2027, 3, 6, 14, 30, 30),
                            at(2027, 3, 7, 14, 30, 0), at(2028, 3, 6, 14, 30, 0)}
        << "1001";
    QTest::newRow("year 2027 with month 1: first tick of the month")
        << entry(3, 2027, 1, W, W, W, W)
        << QList<QDateTime>{at(2026, 1, 1, 0, 0), at(2027, 1, 1, 0, 0, 10), at(2027, 1, 20, 9, 0),
                            at(2027, 2, 1, 0, 0)}
        << "0100";
    QTest::newRow("every field given: first tick within its minute only")
        << entry(3, 2026, 12, 7, 0, 14, 30)
        << QList<QDateTime>{at(2026, 12, 7, 14, 29, 40), at(2026, 12, 7, 14, 30, 10),
                            at(2026, 12, 7, 14, 30, 40), at(2026, 12, 7, 14, 31, 10),
                            at(2026, 12, 14, 14, 30, 10)}
        << "01000";
    QTest::newRow("year alone never")
        << entry(3, 2026, W, W, W, W, W)
        << QList<QDateTime>{at(2026, 1, 1, 0, 0), at(2026, 12, 7, 14, 0), at(2026, 12, 8, 0, 0)}
        << "000";
    QTest::newRow("all wildcards never")
        << entry(3, W, W, W, W, W, W)
        << QList<QDateTime>{at(2026, 12, 7, 0, 0), at(2026, 12, 8, 1, 1)} << "00";
    QTest::newRow("no place never")
        << entry(0xFF, W, W, W, W, 14, W) << QList<QDateTime>{at(2026, 12, 7, 14, 0)} << "0";
    QTest::newRow("exits software")
        << entry(0xFE, W, W, W, W, 14, W) << QList<QDateTime>{at(2026, 12, 7, 14, 0)} << "1";
}

void TestPlaylist::firesOncePerOccurrence()
{
    QFETCH(PlaylistTime, pattern);
    QFETCH(QList<QDateTime>, ticks);
    QFETCH(QString, fires);

    Rig rig;
    rig.playlist.appendItem(pattern);
    QString seen;
    for (const QDateTime &when : ticks) {
        const int place = rig.tick(when);
        if (place != -100)
            QCOMPARE(place, int(qint8(pattern.place)));
        seen += place == -100 ? '0' : '1';
    }
    QCOMPARE(seen, fires);
}

void TestPlaylist::lastDueEntryOfATickWins()
{
    Rig rig;
    rig.playlist.appendItem(entry(3, W, W, W, W, 14, W));
    rig.playlist.appendItem(entry(0xFE, W, W, W, W, 14, 0));
    rig.playlist.appendItem(entry(5, W, W, W, W, 15, W));

    QCOMPARE(rig.tick(at(2026, 12, 7, 14, 0, 10)), -2);
    QCOMPARE(rig.lines, QStringList({"found place 03 date ----/--/-- --------- 14:--\n",
                                     "found place EX date ----/--/-- --------- 14:00\n",
                                     "activ place EX date 2026/12/07 Monday    14:00\n"}));
    // Both due entries recorded their activation, the third did not.
    QCOMPARE(rig.playlist.itemAt(0).lastActivation,
             PlaylistTime::fromDateTime(at(2026, 12, 7, 14, 0)));
    QCOMPARE(rig.playlist.itemAt(1).lastActivation,
             PlaylistTime::fromDateTime(at(2026, 12, 7, 14, 0)));
    QCOMPARE(rig.playlist.itemAt(2).lastActivation, PlaylistTime());

    rig.lines.clear();
    QCOMPARE(rig.tick(at(2026, 12, 7, 14, 0, 40)), -100);
    QVERIFY(rig.lines.isEmpty());
}

void TestPlaylist::replacingResetsAndDisabledChangesNothing()
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

void TestPlaylist::listOperations()
{
    FakeClock clock;
    Playlist a(false, &clock), b(false, &clock);
    for (quint8 p = 1; p <= 3; ++p)
        a.appendItem(entry(p, W, W, W, W, p, W));
    QCOMPARE(a.itemCount(), 3);
    QCOMPARE(a.itemAt(1).entry.place, quint8(2));
    QCOMPARE(a.itemAt(3).entry, PlaylistTime());
    QCOMPARE(a.itemAt(-1).entry, PlaylistTime());
    a.removeLastItem();
    QCOMPARE(a.itemCount(), 2);
    QCOMPARE(a.itemAt(1).entry.place, quint8(2));

    b.appendItem(entry(9, W, W, W, W, 9, W));
    b.enabled = true;
    a.takeItemsFrom(&b);
    QVERIFY(a.enabled);
    QCOMPARE(a.itemCount(), 1);
    QCOMPARE(a.itemAt(0).entry.place, quint8(9));
    QCOMPARE(b.itemCount(), 0);

    a.clearItems();
    a.removeLastItem();
    QCOMPARE(a.itemCount(), 0);
    QVERIFY(a.enabled); // clearing keeps the flag
}

void TestPlaylist::texts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("places") << Playlist::placeText(0xFD) + Playlist::placeText(0xFE) +
                                   Playlist::placeText(0xFF) + Playlist::placeText(7) +
                                   Playlist::placeText(120)
                            << "STEX--07120";
    QTest::newRow("item with odd values")
        << Playlist::itemText(entry(0xFD, 987, 1, 31, 0xFE, 0, 5), 2)
        << "02 date 0987/01/31 ######### 00:05";
}

void TestPlaylist::texts()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(text, expected);
}

QTEST_GUILESS_MAIN(TestPlaylist)
#include "tst_playlist.moc"
