#include "fakemidioutputservice.h"
#include "orvello.h"
#include "privatenetwork.h"
#include "settingsstore.h"

#include <QTemporaryDir>
#include <QtTest>

// The calculator's per-frame signal reaches the MIDI output only while MIDI is
// switched on and has a port to send to; QObject::disconnect answers whether a
// connection existed. How the stored switch and the options choose at start
// is compared between window and headless run in tst_sharedwiring.
static bool unwire(Orvello &w)
{
    return QObject::disconnect(w.calculator(), &TimecodeCalculator::signalSendTimecodeTimeOut,
                               w.midiOutput(), &midi::slotSendTimeCode);
}

static QString midiFact(Orvello &w)
{
    for (const StatusFact &fact : w.generator().statusFacts())
        if (fact.topic == StatusFact::Midi)
            return fact.text;
    return {};
}

class TestMidiWiring : public QObject
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
    }
    void init() { SettingStruct::eraseStore(); }

    // Switched on, the output is wired only while a port can take codes: none
    // at start, one refusing to open, the same accepted at the next rescan,
    // then gone with its MIDI system.
    void wiredOnlyWithAPort()
    {
        Orvello w({"orvello", "noupdatecheck", "midi", "p0"}, machine({}));
        QSignalSpy frames(&w.generator(), &Generator::signalSendTimecodeTimeOut);
        QTRY_VERIFY_WITH_TIMEOUT(frames.size() >= 3, 5000);
        QCOMPARE(midiFact(w), QStringLiteral("MIDI: no MIDI ports"));
        QVERIFY(!unwire(w));

        onOutputThread(w, [&] {
            m_fake->names = QStringList{"P"};
            m_fake->changed = true;
            m_fake->fail = {'O', 0, 1, MidiResult::MMSYSERR_NOMEM};
            w.midiOutput()->slotRescan();
        });
        QTRY_VERIFY_WITH_TIMEOUT(midiFact(w).contains("cannot open P"), 5000);
        QVERIFY(!unwire(w));

        onOutputThread(w, [&] { w.midiOutput()->slotRescan(); }); // same list: open again
        QTRY_VERIFY_WITH_TIMEOUT(codesSent(w) > 0, 5000);
        QVERIFY(midiFact(w).contains("to P"));

        onOutputThread(w, [&] {
            m_fake->names.clear();
            m_fake->changed = true;
            w.midiOutput()->slotRescan();
        });
        QTRY_COMPARE(midiFact(w), QStringLiteral("MIDI: no MIDI ports"));
        QVERIFY(!unwire(w));
    }

    // Re-wired on apply without a restart, once however often applied. That
    // the output ends with its thread at stop is tst_startup's.
    void rewiredOnApply()
    {
        Orvello w({"orvello", "noupdatecheck", "midi"}, machine({"P"}));
        QTRY_VERIFY(midiFact(w).contains("to P"));
        w.settings().midi_protocol_on = false;
        w.settings().midi_timecode_type = 1;
        w.applySettings();
        QCOMPARE(w.midiOutput()->timecodeType(), 1u);
        QVERIFY(!unwire(w));
        w.settings().midi_protocol_on = true;
        w.applySettings();
        w.applySettings();
        QVERIFY(unwire(w));
        QVERIFY(!unwire(w));
    }
};

QTEST_MAIN(TestMidiWiring)
#include "tst_midiwiring.moc"
