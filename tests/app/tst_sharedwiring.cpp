#include "fakeinterfaces.h"
#include "fakemidioutputservice.h"
#include "headlessrunner.h"
#include "orvello.h"
#include "privatenetwork.h"
#include "settingsstore.h"
#include "table.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

// The window and the headless run build the same generator from the same
// command line and store; with the same fake machine under both, everything
// the outputs and the calculator get must agree.
namespace
{
GeneratorPlatform fakeMachine()
{
    GeneratorPlatform platform;
    platform.addressEntries =
        QList<AddressEntry>{fakeInterface("10.77.0.1", "10.77.0.255", "a0"),
                            fakeInterface("192.168.77.1", "192.168.77.255", "a1")};
    platform.verboseSink = [](const QByteArray &) {};
    platform.midiService = std::make_shared<FakeMidiOutputService>(QStringList{"A", "B"});
    return platform;
}

// What a generator has made of its command line and store, once it runs.
struct Wiring {
    QStringList facts;
    QList<int> places; // as the calculator answered them
    QList<int> types;  // Type byte of the first codes sent
};

struct Recorder : QObject {
    Wiring wiring;
    explicit Recorder(Generator &g)
    {
        connect(&g, &Generator::signalChangedFile, this, [this](int p) { wiring.places << p; });
        connect(&g, &Generator::signalSendTimecodeTimeOut, this,
                [this](quint8, quint8, quint8, quint8, quint8 type) { wiring.types << type; });
    }
    // Reads the outputs' configuration and status, then unwires MIDI to see
    // whether it was wired.
    Wiring finish(Generator &g)
    {
        QStringList destinations;
        for (const QHostAddress &a : g.artnetNode()->destinations())
            destinations << a.toString();
        wiring.facts << QString::number(g.format()) << destinations.join(' ')
                     << QString::number(g.midiOutput()->timecodeType())
                     << QString::number(g.midiOutput()->selectedOutputDevice())
                     << QString::number(g.playlist()->enabled.load())
                     << QString::number(g.calculator()->isTrueDropFrame());
        // What became of the frames (sent, or refused where this namespace has
        // no route) depends on when the last report came: not wiring.
        static const QRegularExpression outcome(
            QStringLiteral("(: [a-z ]+)? \\(frames sent: \\d+\\)"));
        for (const StatusFact &fact : g.statusFacts(false))
            wiring.facts << QString(fact.text).remove(outcome);
        wiring.facts << QString::number(
            QObject::disconnect(g.midiHandOff(), &FrameHandOff::signalSendTimecodeTimeOut,
                                g.midiOutput(), &midi::slotSendTimeCode));
        wiring.types = wiring.types.mid(0, 3);
        return wiring;
    }
};
} // namespace

class TestSharedWiring : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    void seed(const QVariantMap &values)
    {
        QFile::remove(m_dir.filePath(QStringLiteral("store.conf")));
        SettingsStore::useFile(m_dir.filePath(QStringLiteral("store.conf")));
        const auto store = SettingsStore::open();
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            store->setValue(it.key(), it.value());
    }
    QVariantMap stored() const
    {
        QVariantMap all;
        const auto store = SettingsStore::open();
        for (const QString &key : store->allKeys())
            all.insert(key, store->value(key));
        return all;
    }

private slots:
    void initTestCase()
    {
        REQUIRE_PRIVATE_NETWORK();
        QVERIFY(m_dir.isValid());
    }

    void sameWiring_data()
    {
        Table::columns<QStringList, QVariantMap, QString>("args", "store", "startLine");
        const QVariantMap portB{{"midi_interface_name", "B"}, {"midi_timecode_type", 2}};
        QTest::newRow("place and format on the command line")
            << QStringList{"p2", "25fps"} << portB
            << "25 fps, place 2, Art-Net to 10.77.0.255 192.168.77.255, MIDI to \"B\" (MIDI "
               "Timecode), playlist off";
        QTest::newRow("stored format, one subnet, outputs switched by options")
            << QStringList{"p0", "noartnet", "midi"}
            << QVariantMap{{"FrameFormat", 2},
                           {"artnet_interface_name", "192.168.77.0"},
                           {"midi_protocol_on", 0},
                           {"playlist_enabled", 1}}
            << "30 drop, system time, Art-Net off, MIDI to \"A\" \"B\" (MIDI Clock), playlist on";
        // Options override the stored switches; broadcasts off leave the
        // unicast address alone in the line; MIDI stored off stays off.
        QTest::newRow("true drop-frame by option, unicast only, MIDI off")
            << QStringList{"p0", "30drop", "truedrop", "noplaylist"}
            << QVariantMap{{"true_drop_frame", 0},
                           {"artnet_broadcast", 0},
                           {"artnet_unicast", "10.77.0.9"},
                           {"midi_protocol_on", 0},
                           {"playlist_enabled", 1}}
            << "30 drop at 29.97 fps, system time, Art-Net to 10.77.0.9, MIDI off, playlist off";
        QTest::newRow("invalid stored format, no place, MIDI off, playlist by option")
            << QStringList{"nomidi", "playlist"}
            << QVariantMap{{"FrameFormat", 9}, {"artnet_interface_name", "192.168.77.0"}}
            << "24 fps, paused, no place, Art-Net to 192.168.77.255, MIDI off, playlist on";
    }

    void sameWiring()
    {
        const auto [args, store, startLine] =
            Table::fetch<QStringList, QVariantMap, QString>("args", "store", "startLine");
        const QStringList command = QStringList{"orvello"} + args;
        // With a place the first three codes are compared; without one,
        // nothing may be sent.
        const int codes = args.filter(QRegularExpression("^p\\d$")).isEmpty() ? 0 : 3;

        seed(store);
        auto *window = new Orvello(command + QStringList{"noupdatecheck"}, fakeMachine());
        Recorder fromWindow(window->generator());
        QTest::qWait(200);
        QTRY_VERIFY_WITH_TIMEOUT(fromWindow.wiring.types.size() >= codes, 3000);
        const Wiring windowWiring = fromWindow.finish(window->generator());
        delete window;
        const QVariantMap windowKeys = stored();

        seed(store);
        QByteArray out;
        auto *runner = new HeadlessRunner(
            command, [&out](const QByteArray &b) { out += b; }, fakeMachine());
        Recorder fromRunner(runner->generator());
        runner->start();
        QTest::qWait(200);
        QTRY_VERIFY_WITH_TIMEOUT(fromRunner.wiring.types.size() >= codes, 3000);
        const Wiring runnerWiring = fromRunner.finish(runner->generator());
        delete runner;

        QCOMPARE(runnerWiring.facts, windowWiring.facts);
        QCOMPARE(runnerWiring.places, windowWiring.places);
        QCOMPARE(runnerWiring.types, windowWiring.types);
        QCOMPARE(runnerWiring.places.isEmpty(), codes == 0);
        QCOMPARE(runnerWiring.types.size(), codes);
        QCOMPARE(runnerWiring.facts.at(5), QString::number(args.contains("truedrop")));
        // The same keys saved at the end; no update check ran, though the
        // headless run was not told "noupdatecheck" like the window.
        QCOMPARE(stored(), windowKeys);
        QVERIFY(!windowKeys.contains("UpdateCheckLast"));
        QCOMPARE(out, "Orvello v2.0.0.1 headless: " + startLine.toUtf8() + '\n');
    }

    // Playlist codes act on both alike, the exit code included; the verbose
    // headless run reports the transport as it changes.
    void playlistAndTransport()
    {
        seed({});
        Orvello window({"orvello", "noupdatecheck"}, fakeMachine());
        window.show();
        QByteArray out;
        HeadlessRunner runner(
            {"orvello", "verbose", "30fps"}, [&out](const QByteArray &b) { out += b; },
            fakeMachine());
        QSignalSpy exits(&runner, &HeadlessRunner::exitRequested);
        runner.start();
        QTRY_VERIFY(out.contains("\ntransport: paused, no place, 30 fps\n"));
        // The window's status line, once, however often the count changes. The
        // window's node in this process shares port 6454 with the runner's.
        QTRY_VERIFY(
            out.contains("\nstatus: Art-Net: to 10.77.0.255 (frames sent: 0), 192.168.77.255 "
                         "(frames sent: 0); Art-Net: another program listens on port 6454 as "
                         "well; polls to this computer may reach it instead; MIDI: to A, B, "
                         "MIDI Clock\n"));
        QVERIFY(out.startsWith("Orvello v2.0.0.1 headless: 30 fps, paused, no place, "));

        for (Generator *g : {&window.generator(), &runner.generator()}) {
            g->slotActivatedPlaylistItem(3);
            g->slotChangedFreeze();
        }
        QTRY_VERIFY_WITH_TIMEOUT(out.contains("transport: frozen, place 3, 30 fps\n"), 3000);
        QVERIFY(window.isFrozen() && window.isVisible());
        runner.generator().slotChangedFreeze();
        runner.generator().slotChangedFrames(Frame25);
        QTRY_VERIFY_WITH_TIMEOUT(out.contains("transport: running, place 3, 25 fps\n"), 3000);

        window.generator().slotActivatedPlaylistItem(-2);
        runner.generator().slotActivatedPlaylistItem(-2);
        QVERIFY(!window.isVisible());
        QCOMPARE(exits.size(), 1);
        QCOMPARE(out.count("\nstatus: "), 1);
    }
};

QTEST_MAIN(TestSharedWiring)
#include "tst_sharedwiring.moc"
