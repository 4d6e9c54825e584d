#include "privatenetwork.h"
#include "windowfixture.h"

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

const QColor Green(0, 255, 0);
} // namespace

// The playlist and the DMX remote as the running window wires them: the
// playlist from the store on its own thread, ArtDmx through a real socket. An
// OSC command acting on the window's controls is shown with the settings window.
class TestRemoteWiring : public QObject
{
    Q_OBJECT
    WindowFixture m_fixture;

private slots:
    void initTestCase() { REQUIRE_PRIVATE_NETWORK(); }
    void init() { m_fixture.freshStore(); }

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
        if (enabled) {
            QTRY_COMPARE_WITH_TIMEOUT(w.view().placeButtons[1]->palette().color(QPalette::Button),
                                      Green, 5000);
        } else {
            // Nothing to wait for when nothing may happen: a second of frames
            // went by, and the window would have acted on the first.
            QTest::qWait(200);
            QVERIFY(w.isPaused());
        }
    }
};

QTEST_MAIN(TestRemoteWiring)
#include "tst_remotewiring.moc"
