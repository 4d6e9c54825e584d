#include "fakeclock.h"
#include "playlist.h"
#include "settingsstore.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

// The store here is an INI file, as the native store on Linux is: every value
// reads back as text, just as a user would type it into the file.
class TestPlaylistStore : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_file;
    int m_run = 0;

    void writeStore(const QByteArray &ini)
    {
        QFile f(m_file);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("[General]\n" + ini);
    }

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        // A file of its own per row: QSettings caches a file by path and may
        // not notice a rewrite of the same size within the same second.
        m_file = m_dir.filePath(QStringLiteral("store%1.ini").arg(++m_run));
        SettingsStore::useFile(m_file);
    }

    void roundTripKeepsSignedCodesAndWildcards()
    {
        FakeClock clock;
        Playlist out(false, &clock);
        out.enabled = true;
        out.appendItem({0xFE, 0xFFFF, 0xFF, 0xFF, 6, 23, 0xFF});
        out.appendItem({0xFD, 2027, 12, 31, 0xFF, 0, 59});
        out.appendItem({9, 0xFFFF, 1, 0xFF, 0xFF, 0xFF, 30});
        out.savePlaylistToStore();

        // Codes and wildcards are stored signed, as other tools read them.
        QSettings raw(m_file, QSettings::IniFormat);
        QCOMPARE(raw.value("playlist_place_0").toInt(), -2);
        QCOMPARE(raw.value("playlist_year_0").toInt(), -1);

        Playlist in(false, &clock);
        in.loadPlaylistFromStore(false, false);
        QVERIFY(in.enabled);
        QCOMPARE(in.itemCount(), 3);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(in.itemAt(i).entry, out.itemAt(i).entry);
    }

    void countAgainstKeysPresent_data()
    {
        QTest::addColumn<QByteArray>("count");
        QTest::addColumn<int>("loaded");
        QTest::newRow("shorter") << QByteArray("2") << 2;
        QTest::newRow("huge") << QByteArray("2000000000") << 3;
        QTest::newRow("negative") << QByteArray("-4") << 0;
    }

    void countAgainstKeysPresent()
    {
        QFETCH(QByteArray, count);
        QFETCH(int, loaded);
        // Entry 1 has only its place; its other fields are wildcards.
        writeStore("playlist_count=" + count +
                   "\nplaylist_place_0=1\nplaylist_hour_0=8\n"
                   "playlist_place_1=2\n"
                   "playlist_place_2=3\nplaylist_minute_2=15\n");
        FakeClock clock;
        Playlist p(false, &clock);
        p.loadPlaylistFromStore(false, false);
        QCOMPARE(p.itemCount(), loaded);
        if (loaded >= 2)
            QCOMPARE(p.itemAt(1).entry, PlaylistTime{2});
    }

    // Each field keeps what fits its stored range (signed or unsigned view of
    // its width) and reads anything beyond as a value that never matches.
    void fieldRangesAtTheirEdges_data()
    {
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<int>("field");
        QTest::newRow("place 255") << QByteArray("place") << QByteArray("255") << 255;
        QTest::newRow("place 256") << QByteArray("place") << QByteArray("256") << 0x80;
        QTest::newRow("place -128") << QByteArray("place") << QByteArray("-128") << 0x80;
        QTest::newRow("day -128") << QByteArray("day") << QByteArray("-128") << 128;
        QTest::newRow("day -129") << QByteArray("day") << QByteArray("-129") << 0xFE;
        QTest::newRow("year 65535") << QByteArray("year") << QByteArray("65535") << 65535;
        QTest::newRow("year 65536") << QByteArray("year") << QByteArray("65536") << 0xFFFE;
        QTest::newRow("year -32768") << QByteArray("year") << QByteArray("-32768") << 32768;
        QTest::newRow("year -32769") << QByteArray("year") << QByteArray("-32769") << 0xFFFE;
    }

    void fieldRangesAtTheirEdges()
    {
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, value);
        QFETCH(int, field);
        writeStore("playlist_count=1\nplaylist_" + key + "_0=" + value + "\n");
        FakeClock clock;
        Playlist p(false, &clock);
        p.loadPlaylistFromStore(false, false);
        QCOMPARE(p.itemCount(), 1);
        const PlaylistTime e = p.itemAt(0).entry;
        QCOMPARE(key == "place" ? int(e.place) : key == "day" ? int(e.day) : int(e.year), field);
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
};

QTEST_GUILESS_MAIN(TestPlaylistStore)
#include "tst_playliststore.moc"
