#include "orvello.h"
#include "privatenetwork.h"
#include "settingsstore.h"

#include <QTemporaryDir>
#include <QUdpSocket>
#include <QtTest>
#include <QtWidgets>

namespace
{
// An ArtDmx for universe 256 (Net 0, SubUni 0xFF) with channel `channel` at 255.
QByteArray remoteFrame(int channel)
{
    QByteArray data("Art-Net\0\x00\x50\x00\x0E\x00\x00\xFF\x00\x00\x13", 18);
    data.append(QByteArray(19, '\0'));
    if (channel > 0)
        data[17 + channel] = char(0xFF);
    return data;
}

const QColor Green(0, 255, 0);
} // namespace

// The playlist and the DMX remote as the running window wires them: the
// playlist from the store on its own thread, ArtDmx through the real socket.
class TestRemoteWiring : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    static void seed(const QVariantMap &values)
    {
        const auto store = SettingsStore::open();
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            store->setValue(it.key(), it.value());
    }

private slots:
    void initTestCase() { REQUIRE_PRIVATE_NETWORK(); }
    void init()
    {
        QVERIFY(m_dir.isValid());
        QFile::remove(m_dir.filePath(QStringLiteral("store.conf")));
        SettingsStore::useFile(m_dir.filePath(QStringLiteral("store.conf")));
    }

    void playlistAtStart_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("storedEnabled");
        QTest::addColumn<bool>("fires");
        QTest::newRow("noplaylist over stored on") << QStringList{"noplaylist"} << 1 << false;
        QTest::newRow("playlist over stored off") << QStringList{"playlist"} << 0 << true;
    }

    // An entry for the current month is due at once: the first tick runs when
    // the playlist's thread starts, and place 3 starts at its start code.
    void playlistAtStart()
    {
        QFETCH(QStringList, args);
        QFETCH(int, storedEnabled);
        QFETCH(bool, fires);
        seed({{"start_minute_2", 7},
              {"playlist_count", 1},
              {"playlist_enabled", storedEnabled},
              {"playlist_place_0", 3},
              {"playlist_month_0", QDate::currentDate().month()}});
        Orvello w(QStringList{"orvello", "noupdatecheck"} + args);
        QVERIFY(w.generator().playlist());
        QCOMPARE(w.generator().playlist()->enabled.load(), fires);
        if (fires) {
            QTRY_COMPARE_WITH_TIMEOUT(w.view().placeButtons[2]->palette().color(QPalette::Button),
                                      Green, 5000);
            QTRY_VERIFY_WITH_TIMEOUT(w.view().displayText().startsWith("00:07:0"), 3000);
        } else {
            QTest::qWait(500);
            QVERIFY(w.isPaused());
        }
    }

    // Apply saves the playlist with the record; "New Settings" empties the
    // list and keeps the flag; "Defaults" clears the flag.
    void applySavesThePlaylist()
    {
        Orvello w({"orvello", "noupdatecheck", "playlist"});
        Playlist *playlist = w.generator().playlist();
        PlaylistTime entry;
        entry.place = PlaylistTime::PlaceExit;
        entry.hour = 23;
        playlist->appendItem(entry);
        w.applySettings();
        QCOMPARE(SettingsStore::open()->value("playlist_count").toInt(), 1);
        QCOMPARE(SettingsStore::open()->value("playlist_place_0").toInt(), -2);
        QCOMPARE(SettingsStore::open()->value("playlist_enabled").toInt(), 1);

        w.slotSettingsNew();
        QVERIFY(playlist->enabled && playlist->itemCount() == 0);
        w.slotSettingsChangedToDefaultExtern();
        QVERIFY(!playlist->enabled);
        QCOMPARE(SettingsStore::open()->value("playlist_enabled").toInt(), 0);
    }

    void dmxRemote_data()
    {
        QTest::addColumn<int>("enabled");
        QTest::addColumn<int>("channel");
        QTest::newRow("channel 12: place 2") << 1 << 12;
        QTest::newRow("switched off") << 0 << 12;
    }

    // Frame format and transport are proven end to end; here the places and
    // the switch. The console keeps sending the same frame for a second.
    void dmxRemote()
    {
        QFETCH(int, enabled);
        QFETCH(int, channel);
        seed({{"dmx_in_enabled", enabled}});
        Orvello w({"orvello", "noupdatecheck"});
        QUdpSocket console;
        QVERIFY(console.bind(QHostAddress(QStringLiteral("127.0.0.2")), 0));
        for (int i = 0; i < 20; ++i) {
            console.writeDatagram(remoteFrame(channel), QHostAddress::LocalHost, 6454);
            QTest::qWait(50);
        }
        QTest::qWait(200);
        if (enabled)
            QCOMPARE(w.view().placeButtons[1]->palette().color(QPalette::Button), Green);
        else
            QVERIFY(w.isPaused());
    }
};

QTEST_MAIN(TestRemoteWiring)
#include "tst_remotewiring.moc"
