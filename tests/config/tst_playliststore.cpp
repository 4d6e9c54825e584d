#include "fakeclock.h"
#include "playlist.h"
#include "settingsstore.h"
#include "table.h"
#include "writefile.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(QList<PlaylistTime>)

// The store here is an INI file, as the native store on Linux is: every value
// reads back as text, just as a user would type it into the file.
class TestPlaylistStore : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_file;
    int m_run = 0;

    void writeStore(const QByteArray &ini) { writeFile(m_file, "[General]\n" + ini); }

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        // A file of its own per row: QSettings caches a file by path and may
        // not notice a rewrite of the same size within the same second.
        m_file = m_dir.filePath(QStringLiteral("store%1.ini").arg(++m_run));
        SettingsStore::useFile(m_file);
    }

    // The entries a start loads from the store: the count against the keys
    // present (an entry with only its place has wildcards elsewhere), and each
    // field keeping what fits its stored range (signed or unsigned view of its
    // width) and reading anything beyond as a value that never matches.
    void loadedEntries_data()
    {
        // entries: place year month day weekday hour minute, one bracket each
        Table::columns<QByteArray, QString>("ini", "entries");
        const QByteArray three = "\nplaylist_place_0=1\nplaylist_hour_0=8\nplaylist_place_1=2\n"
                                 "playlist_place_2=3\nplaylist_minute_2=15\n";
        const QString w = QStringLiteral(" 65535 255 255 255 "); // year to weekday, all wildcards
        QTest::newRow("count shorter")
            << "playlist_count=2" + three << "[1" + w + "8 255][2" + w + "255 255]";
        QTest::newRow("count huge") << "playlist_count=2000000000" + three
                                    << "[1" + w + "8 255][2" + w + "255 255][3" + w + "255 15]";
        QTest::newRow("count negative") << "playlist_count=-4" + three << QString();
        const auto row = [](const char *field, const char *value, const char *entry) {
            QTest::addRow("%s %s", field, value)
                << "playlist_count=1\nplaylist_" + QByteArray(field) + "_0=" + value + "\n"
                << QString(entry);
        };
        row("place", "255", "[255 65535 255 255 255 255 255]");
        row("place", "256", "[128 65535 255 255 255 255 255]");
        row("place", "-128", "[128 65535 255 255 255 255 255]");
        row("day", "-128", "[255 65535 255 128 255 255 255]");
        row("day", "-129", "[255 65535 255 254 255 255 255]");
        row("year", "65535", "[255 65535 255 255 255 255 255]");
        row("year", "65536", "[255 65534 255 255 255 255 255]");
        row("year", "-32768", "[255 32768 255 255 255 255 255]");
        row("year", "-32769", "[255 65534 255 255 255 255 255]");
    }

    void loadedEntries()
    {
        QFETCH(QByteArray, ini);
        writeStore(ini);
        FakeClock clock;
        Playlist p(false, &clock);
        p.loadPlaylistFromStore(false, false);
        QString entries;
        for (int i = 0; i < p.itemCount(); ++i) {
            const PlaylistTime e = p.itemAt(i).entry;
            entries += QString::asprintf("[%d %d %d %d %d %d %d]", e.place, e.year, e.month, e.day,
                                         e.weekday, e.hour, e.minute);
        }
        QTEST(entries, "entries");
    }

    // Typos in a hand-edited store load without harm and never fire; text
    // read as 0 would otherwise fire at midnight.
    void handTypedValuesNeverFire()
    {
        writeStore("playlist_count=5\nplaylist_enabled=1\n"
                   "playlist_place_0=3\nplaylist_hour_0=30\n"
                   "playlist_place_1=3\nplaylist_hour_1=midnight\n"
                   "playlist_place_2=3\nplaylist_hour_2=256\n"
                   "playlist_place_3=x\nplaylist_minute_3=0\n"
                   "playlist_place_4=3\nplaylist_weekday_4=1e3\nplaylist_minute_4=0\n");
        FakeClock clock(QDateTime(QDate(2026, 12, 7), QTime(0, 0, 10)));
        Playlist p(false, &clock);
        p.loadPlaylistFromStore(false, false);
        QCOMPARE(p.itemCount(), 5);
        QCOMPARE(p.itemAt(0).entry.hour, quint8(30));
        QSignalSpy spy(&p, &Playlist::signalActivatedItem);
        // Every half hour for a week.
        for (int tick = 0; tick < 7 * 48; ++tick) {
            p.slotSendTimecodeTimeOut();
            clock.advance(30 * 60 * 1000);
        }
        QCOMPARE(spy.count(), 0);
    }

    // The activation that ended the program is kept in the store: a restart
    // within the same occurrence does not end it again, while every other
    // entry still catches up at the first tick.
    void exitActivationSurvivesARestart_data()
    {
        using Table::row;
        // afterRestart: the list the restart loads, at restartAt (the first run
        // ticked at 2026-12-07 04:45:00); emitted by its first tick, 0: none
        Table::columns<QList<PlaylistTime>, QList<PlaylistTime>, QDateTime, int>(
            "entries", "afterRestart", "restartAt", "emitted");
        const PlaylistTime exitAt0445{0xFE, 0xFFFF, 0xFF, 0xFF, 0xFF, 4, 45};
        const PlaylistTime exitHour4{0xFE, 0xFFFF, 0xFF, 0xFF, 0xFF, 4, 0xFF};
        const PlaylistTime place3Hour4{3, 0xFFFF, 0xFF, 0xFF, 0xFF, 4, 0xFF};
        const QList<PlaylistTime> exitOnly{exitAt0445};
        const auto at = [](int day, int hour, int minute, int second) {
            return QDateTime(QDate(2026, 12, day), QTime(hour, minute, second));
        };
        row("same minute", exitOnly, exitOnly, at(7, 4, 45, 20), 0);
        row("same hour, for an entry of the hour", QList<PlaylistTime>{exitHour4},
            QList<PlaylistTime>{exitHour4}, at(7, 4, 50, 0), 0);
        row("next day", exitOnly, exitOnly, at(8, 4, 45, 10), -2);
        row("an entry due beside it catches up", QList<PlaylistTime>{place3Hour4, exitAt0445},
            QList<PlaylistTime>{place3Hour4, exitAt0445}, at(7, 4, 45, 30), 3);
        row("an edited entry is another entry", exitOnly, QList<PlaylistTime>{exitHour4},
            at(7, 4, 45, 30), -2);
    }

    void exitActivationSurvivesARestart()
    {
        const auto [entries, afterRestart, restartAt, emitted] =
            Table::fetch<QList<PlaylistTime>, QList<PlaylistTime>, QDateTime, int>(
                "entries", "afterRestart", "restartAt", "emitted");
        const QDateTime firstRun(QDate(2026, 12, 7), QTime(4, 45, 0));
        FakeClock clock(firstRun);
        {
            Playlist run(false, &clock);
            run.enabled = true;
            for (const PlaylistTime &e : entries)
                run.appendItem(e);
            run.savePlaylistToStore();
            QSignalSpy spy(&run, &Playlist::signalActivatedItem);
            run.slotSendTimecodeTimeOut();
            QCOMPARE(spy.size(), 1);
            QCOMPARE(spy.at(0).at(0).toInt(), -2);
            QVERIFY(run.saveExitToStore());
            run.clearItems();
            for (const PlaylistTime &e : afterRestart)
                run.appendItem(e);
            run.savePlaylistToStore();
        }
        clock.setWallClock(restartAt);
        Playlist restarted(false, &clock);
        restarted.loadPlaylistFromStore(false, false);
        QSignalSpy spy(&restarted, &Playlist::signalActivatedItem);
        restarted.slotSendTimecodeTimeOut();
        QCOMPARE(spy.isEmpty() ? 0 : spy.at(0).at(0).toInt(), emitted);
    }
};

QTEST_GUILESS_MAIN(TestPlaylistStore)
#include "tst_playliststore.moc"
