#include "orvello.h"
#include "privatenetwork.h"
#include "settingsstore.h"

#include <QTemporaryDir>
#include <QUdpSocket>
#include <QtTest>
#include <QtWidgets>

namespace
{
// An ArtDmx for universe 256 (Net 0, SubUni 0xFF) with channel 12, place 2, at 255.
QByteArray remoteFrame()
{
    QByteArray data("Art-Net\0\x00\x50\x00\x0E\x00\x00\xFF\x00\x00\x13", 18);
    data.append(QByteArray(19, '\0'));
    data[17 + 12] = char(0xFF);
    return data;
}

// An OSC message with no argument or one int32, as oscsend writes it.
QByteArray osc(const QByteArray &address, int value = -1)
{
    QByteArray data = address;
    data.append(QByteArray(4 - address.size() % 4, '\0'));
    data.append(value < 0 ? QByteArray(",\0\0\0", 4) : QByteArray(",i\0\0", 4));
    if (value >= 0)
        data.append(QByteArray::fromHex(QByteArray::number(value, 16).rightJustified(8, '0')));
    return data;
}

const QColor Green(0, 255, 0);
} // namespace

// The playlist, the DMX remote and OSC as the running window wires them: the
// playlist from the store on its own thread, ArtDmx and OSC through real sockets.
class TestRemoteWiring : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void initTestCase() { REQUIRE_PRIVATE_NETWORK(); }
    void init()
    {
        QVERIFY(m_dir.isValid());
        QFile::remove(m_dir.filePath(QStringLiteral("store.conf")));
        SettingsStore::useFile(m_dir.filePath(QStringLiteral("store.conf")));
    }

    // The command line's choice wins over the stored flag. That an entry due
    // at start fires at once is shown end to end.
    void playlistAtStart_data()
    {
        QTest::addColumn<QString>("arg");
        QTest::addColumn<int>("storedEnabled");
        QTest::newRow("noplaylist over stored on") << "noplaylist" << 1;
        QTest::newRow("playlist over stored off") << "playlist" << 0;
    }

    void playlistAtStart()
    {
        QFETCH(QString, arg);
        QFETCH(int, storedEnabled);
        SettingsStore::open()->setValue("playlist_enabled", storedEnabled);
        Orvello w({"orvello", "noupdatecheck", arg});
        QCOMPARE(w.generator().playlist()->enabled.load(), !storedEnabled);
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
        QTest::newRow("place 2") << 1;
        QTest::newRow("switched off") << 0;
    }

    // Frame format and transport are proven end to end; here the places and
    // the switch. The console keeps sending the same frame for a second.
    void dmxRemote()
    {
        QFETCH(int, enabled);
        SettingsStore::open()->setValue("dmx_in_enabled", enabled);
        Orvello w({"orvello", "noupdatecheck"});
        QUdpSocket console;
        QVERIFY(console.bind(QHostAddress(QStringLiteral("127.0.0.2")), 0));
        for (int i = 0; i < 20; ++i) {
            console.writeDatagram(remoteFrame(), QHostAddress::LocalHost, 6454);
            QTest::qWait(50);
        }
        QTest::qWait(200);
        if (enabled)
            QCOMPARE(w.view().placeButtons[1]->palette().color(QPalette::Button), Green);
        else
            QVERIFY(w.isPaused());
    }

    void oscCommands_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<QString>("shown");
        QTest::newRow("place 3") << osc("/orvello/place", 3) << "place 3";
        QTest::newRow("play") << osc("/orvello/playpause") << "running";
    }

    // An OSC command acts as the window's control does, and the control shows it.
    void oscCommands()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(QString, shown);
        SettingsStore::open()->setValue("osc_enabled", 1);
        SettingsStore::open()->setValue("osc_port", 19201);
        Orvello w({"orvello", "noupdatecheck"});
        QVERIFY(w.remote().osc().isOpen());
        QUdpSocket().writeDatagram(datagram, QHostAddress::LocalHost, 19201);
        if (shown == QLatin1String("place 3"))
            QTRY_COMPARE_WITH_TIMEOUT(w.view().placeButtons[2]->palette().color(QPalette::Button),
                                      Green, 10000);
        else
            QTRY_VERIFY_WITH_TIMEOUT(!w.isPaused(), 10000);
    }
};

QTEST_MAIN(TestRemoteWiring)
#include "tst_remotewiring.moc"
