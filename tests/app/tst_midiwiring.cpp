#include "orvello.h"

#include <QApplication>
#include <QtTest>

// The calculator's per-frame signal reaches the MIDI output only while MIDI
// is switched on. QObject::disconnect answers whether a connection existed,
// which is how these tests look at the wiring.
class TestMidiWiring : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void startWiring_data();
    void startWiring();
    void applyRewires();
    void stopKeepsAllPortsName();

private:
    static bool unwire(Orvello &w)
    {
        return QObject::disconnect(w.calculator(), &TimecodeCalculator::signalSendTimecodeTimeOut,
                                   w.midiOutput(), &midi::slotSendTimeCode);
    }
};

void TestMidiWiring::init()
{
    SettingStruct::eraseStore();
}

void TestMidiWiring::startWiring_data()
{
    QTest::addColumn<bool>("stored");
    QTest::addColumn<QString>("option");
    QTest::addColumn<bool>("wired");
    QTest::newRow("stored on") << true << "" << true;
    QTest::newRow("stored off") << false << "" << false;
    QTest::newRow("stored on, nomidi") << true << "nomidi" << false;
    QTest::newRow("stored off, midi") << false << "midi" << true;
}

void TestMidiWiring::startWiring()
{
    QFETCH(bool, stored);
    QFETCH(QString, option);
    QFETCH(bool, wired);
    SettingStruct settings;
    settings.setDefaults();
    settings.midi_protocol_on = stored;
    settings.midi_timecode_type = 2;
    settings.saveToStore();

    QStringList args{"orvello", "noupdatecheck"};
    if (!option.isEmpty())
        args << option;
    Orvello w(args);
    QVERIFY(w.midiOutput() && w.calculator());
    QCOMPARE(w.midiOutput()->timecodeType(), 2u);
    QCOMPARE(unwire(w), wired);
}

void TestMidiWiring::applyRewires()
{
    Orvello w({"orvello", "noupdatecheck"});
    QVERIFY(w.settings().midi_protocol_on);

    w.settings().midi_protocol_on = false;
    w.settings().midi_timecode_type = 1;
    w.applySettings();
    QCOMPARE(w.midiOutput()->timecodeType(), 1u);
    QCOMPARE(w.midiOutput()->selectedOutputDevice(), -1);
    QVERIFY(!unwire(w));

    // Back on without a restart, and applying twice leaves one connection.
    w.settings().midi_protocol_on = true;
    w.applySettings();
    w.applySettings();
    QVERIFY(unwire(w));
    QVERIFY(!unwire(w));
}

void TestMidiWiring::stopKeepsAllPortsName()
{
    auto *w = new Orvello({"orvello", "noupdatecheck"});
    QPointer<midi> output = w->midiOutput();
    QVERIFY(output);
    w->close();
    QVERIFY(!w->midiOutput());
    QCOMPARE(w->windowKeys().MidiInterfaceName, QStringLiteral("All Midi Devices"));
    // Deleted on its own thread, which then ends.
    QTRY_VERIFY_WITH_TIMEOUT(!output, 5000);
    delete w;
}

QTEST_MAIN(TestMidiWiring)
#include "tst_midiwiring.moc"
