#include "fakemidioutputservice.h"
#include "orvello.h"
#include "privatenetwork.h"
#include "settingsstore.h"
#include "table.h"

#include <QLabel>
#include <QTemporaryDir>
#include <QtTest>

// The per-frame signal reaches an output only while it is
// switched on and, for MIDI, has a port to send to; QObject::disconnect
// answers whether a connection existed. How the stored MIDI switch and the
// options choose at start is compared between window and headless run in
// tst_sharedwiring; that the outputs end with their threads is tst_startup's.
static bool unwireMidi(Orvello &w)
{
    return QObject::disconnect(w.generator().midiHandOff(),
                               &FrameHandOff::signalSendTimecodeTimeOut, w.midiOutput(),
                               &midi::slotSendTimeCode);
}

static bool unwireLtc(Orvello &w)
{
    return QObject::disconnect(w.generator().ltcHandOff(), &FrameHandOff::signalSendTimecodeTimeOut,
                               w.generator().ltcOutput(), &LtcOutput::slotSendTimeCode);
}

static QString midiFact(Orvello &w)
{
    for (const StatusFact &fact : w.generator().statusFacts())
        if (fact.topic == StatusFact::Midi)
            return fact.text;
    return {};
}

static QString ltcLine(Orvello &w)
{
    auto *label = w.findChild<QLabel *>(QStringLiteral("status_ltc"));
    return label ? label->text() : QString();
}

class TestOutputWiring : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    std::shared_ptr<FakeMidiOutputService> m_fake;

    GeneratorPlatform machine(const QStringList &ports)
    {
        m_fake = std::make_shared<FakeMidiOutputService>(ports);
        GeneratorPlatform platform;
        platform.midiService = m_fake;
        return platform;
    }
    // The fake belongs to the output's thread; it is read and changed there.
    template <typename F> static void onOutputThread(Orvello &w, F f)
    {
        QMetaObject::invokeMethod(w.midiOutput(), f, Qt::BlockingQueuedConnection);
    }
    int codesSent(Orvello &w)
    {
        int n = 0;
        onOutputThread(w, [&] { n = m_fake->ops(0).count('S') + m_fake->ops(0).count('L'); });
        return n;
    }

private slots:
    void initTestCase()
    {
        REQUIRE_PRIVATE_NETWORK();
        // Run by hand too, so the store is the test's own: init() erases it.
        QVERIFY(m_dir.isValid());
        SettingsStore::useFile(m_dir.filePath(QStringLiteral("store.conf")));
        // No audio system the LTC output could reach, whatever runs on the machine.
        qputenv("JACK_DEFAULT_SERVER", "orvello-ltc-wiring-none");
        qputenv("PULSE_SERVER", "unix:/nonexistent/orvello");
        qputenv("ALSA_CONFIG_PATH", "/nonexistent/orvello-alsa.conf");
    }
    void init() { SettingStruct::eraseStore(); }

    // Switched on, the output is wired only while a port can take codes: none
    // at start, one refusing to open, the same accepted at the next rescan,
    // then gone with its MIDI system.
    void midiWiredOnlyWithAPort()
    {
        Orvello w({"orvello", "noupdatecheck", "midi", "p0"}, machine({}));
        QSignalSpy frames(&w.generator(), &Generator::signalSendTimecodeTimeOut);
        QTRY_VERIFY_WITH_TIMEOUT(frames.size() >= 3, 5000);
        QCOMPARE(midiFact(w), QStringLiteral("MIDI: no MIDI ports"));
        QVERIFY(!unwireMidi(w));
        // With no output listening, the window's codes wake no thread between.
        QVERIFY(!w.generator().midiHandOff()->queue()->wanted());
        QVERIFY(!w.generator().ltcHandOff()->queue()->wanted());

        onOutputThread(w, [&] {
            m_fake->names = QStringList{"P"};
            m_fake->changed = true;
            m_fake->fail = {'O', 0, 1, MidiResult::MMSYSERR_NOMEM};
            w.midiOutput()->slotRescan();
        });
        QTRY_VERIFY_WITH_TIMEOUT(midiFact(w).contains("cannot open P"), 5000);
        QVERIFY(!unwireMidi(w));

        onOutputThread(w, [&] { w.midiOutput()->slotRescan(); }); // same list: open again
        QTRY_VERIFY_WITH_TIMEOUT(codesSent(w) > 0, 5000);
        QVERIFY(midiFact(w).contains("to P"));

        onOutputThread(w, [&] {
            m_fake->names.clear();
            m_fake->changed = true;
            w.midiOutput()->slotRescan();
        });
        QTRY_COMPARE(midiFact(w), QStringLiteral("MIDI: no MIDI ports"));
        QVERIFY(!unwireMidi(w));
    }

    // Re-wired on apply without a restart, once however often applied.
    void midiRewiredOnApply()
    {
        Orvello w({"orvello", "noupdatecheck", "midi"}, machine({"P"}));
        QTRY_VERIFY(midiFact(w).contains("to P"));
        w.settings().midi_protocol_on = false;
        w.settings().midi_timecode_type = 1;
        w.applySettings();
        QCOMPARE(w.midiOutput()->timecodeType(), 1u);
        QVERIFY(!unwireMidi(w));
        w.settings().midi_protocol_on = true;
        w.applySettings();
        w.applySettings();
        QVERIFY(unwireMidi(w));
        QVERIFY(!unwireMidi(w));
    }

    void ltcStartWiring_data()
    {
        Table::columns<bool, QStringList, bool>("stored", "options", "wired");
        QTest::newRow("default off") << false << QStringList{} << false;
        QTest::newRow("off, ltc") << false << QStringList{"ltc"} << true;
        QTest::newRow("on") << true << QStringList{} << true;
        QTest::newRow("on, noltc") << true << QStringList{"noltc"} << false;
    }

    // Switched on without any audio system the program runs and says so.
    void ltcStartWiring()
    {
        const auto [stored, options, wired] =
            Table::fetch<bool, QStringList, bool>("stored", "options", "wired");
        if (stored) {
            SettingStruct settings;
            settings.setDefaults();
            settings.ltc_protocol_on = true;
            settings.saveToStore();
        }
        Orvello w(QStringList{"orvello", "noupdatecheck"} + options);
        const QString expected =
            wired ? QStringLiteral("LTC: no audio system, retrying") : QString();
        QTRY_COMPARE_WITH_TIMEOUT(ltcLine(w), expected, 5000);
        QCOMPARE(unwireLtc(w), wired);
        QVERIFY(!w.generator().ltcOutput()->isOpen());
    }

    // Applied without a restart: on wires and reports, off unwires and clears
    // the status line.
    void ltcRewiredOnApply()
    {
        Orvello w({"orvello", "noupdatecheck"});
        w.settings().ltc_protocol_on = true;
        w.settings().ltc_level = -20;
        w.applySettings();
        w.applySettings();
        QTRY_COMPARE_WITH_TIMEOUT(ltcLine(w), QStringLiteral("LTC: no audio system, retrying"),
                                  5000);
        QVERIFY(unwireLtc(w));
        QVERIFY(!unwireLtc(w));
        w.settings().ltc_protocol_on = false;
        w.applySettings();
        QTRY_COMPARE_WITH_TIMEOUT(ltcLine(w), QString(), 5000);
        QVERIFY(!unwireLtc(w));
    }
};

QTEST_MAIN(TestOutputWiring)
#include "tst_outputwiring.moc"
