#include "orvello.h"
#include "privatenetwork.h"
#include "settingsstore.h"

#include <QTemporaryDir>
#include <QtTest>

// The calculator's per-frame signal reaches the MIDI output only while MIDI is
// switched on; QObject::disconnect answers whether a connection existed.
static bool unwire(Orvello &w)
{
    return QObject::disconnect(w.calculator(), &TimecodeCalculator::signalSendTimecodeTimeOut,
                               w.midiOutput(), &midi::slotSendTimeCode);
}

class TestMidiWiring : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
private slots:
    void initTestCase()
    {
        REQUIRE_PRIVATE_NETWORK();
        // Run by hand too, so the store is the test's own: init() erases it.
        QVERIFY(m_dir.isValid());
        SettingsStore::useFile(m_dir.filePath(QStringLiteral("store.conf")));
    }
    void init() { SettingStruct::eraseStore(); }

    void startWiring_data()
    {
        // Stored on, with or without "nomidi", runs end to end against JACK.
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("wired");
        QTest::newRow("stored off") << QStringList{} << false;
        QTest::newRow("stored off, midi") << QStringList{"midi"} << true;
    }

    void startWiring()
    {
        QFETCH(QStringList, options);
        QFETCH(bool, wired);
        SettingStruct settings;
        settings.setDefaults();
        settings.midi_protocol_on = false;
        settings.midi_timecode_type = 2;
        settings.saveToStore();
        Orvello w(QStringList{"orvello", "noupdatecheck"} + options);
        QCOMPARE(w.midiOutput()->timecodeType(), 2u);
        QCOMPARE(unwire(w), wired);
    }

    // Re-wired on apply without a restart, once however often applied; at stop
    // the output ends with its thread and the all-ports name is kept.
    void applyAndStop()
    {
        auto *w = new Orvello({"orvello", "noupdatecheck"});
        w->settings().midi_protocol_on = false;
        w->settings().midi_timecode_type = 1;
        w->applySettings();
        QCOMPARE(w->midiOutput()->timecodeType(), 1u);
        QVERIFY(!unwire(*w));
        w->settings().midi_protocol_on = true;
        w->applySettings();
        w->applySettings();
        QVERIFY(unwire(*w));
        QVERIFY(!unwire(*w));

        QPointer<midi> output = w->midiOutput();
        w->close();
        QVERIFY(!w->midiOutput());
        QCOMPARE(w->windowKeys().MidiInterfaceName, QStringLiteral("All Midi Devices"));
        QTRY_VERIFY_WITH_TIMEOUT(!output, 5000);
        delete w;
    }
};

QTEST_MAIN(TestMidiWiring)
#include "tst_midiwiring.moc"
