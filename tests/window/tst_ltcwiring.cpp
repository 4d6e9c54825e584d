#include "orvello.h"
#include "privatenetwork.h"

#include <QLabel>
#include <QtTest>

// The calculator's per-frame signal reaches the LTC output only while LTC is
// switched on; QObject::disconnect answers whether a connection existed.
static bool unwire(Orvello &w)
{
    return QObject::disconnect(w.calculator(), &TimecodeCalculator::signalSendTimecodeTimeOut,
                               w.generator().ltcOutput(), &LtcOutput::slotSendTimeCode);
}

static QString statusLine(Orvello &w)
{
    auto *label = w.findChild<QLabel *>(QStringLiteral("status_ltc"));
    return label ? label->text() : QString();
}

class TestLtcWiring : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        REQUIRE_PRIVATE_NETWORK();
        // No audio system this test could reach, whatever runs on the machine.
        qputenv("JACK_DEFAULT_SERVER", "orvello-ltc-wiring-none");
        qputenv("PULSE_SERVER", "unix:/nonexistent/orvello");
        qputenv("ALSA_CONFIG_PATH", "/nonexistent/orvello-alsa.conf");
    }
    void init() { SettingStruct::eraseStore(); }

    void startWiring_data()
    {
        QTest::addColumn<bool>("stored");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("wired");
        QTest::newRow("default off") << false << QStringList{} << false;
        QTest::newRow("off, ltc") << false << QStringList{"ltc"} << true;
        QTest::newRow("on") << true << QStringList{} << true;
        QTest::newRow("on, noltc") << true << QStringList{"noltc"} << false;
    }

    // Switched on without any audio system the program runs and says so.
    void startWiring()
    {
        QFETCH(bool, stored);
        QFETCH(QStringList, options);
        QFETCH(bool, wired);
        if (stored) {
            SettingStruct settings;
            settings.setDefaults();
            settings.ltc_protocol_on = true;
            settings.saveToStore();
        }
        Orvello w(QStringList{"orvello", "noupdatecheck"} + options);
        const QString expected =
            wired ? QStringLiteral("LTC: no audio system, retrying") : QString();
        QTRY_COMPARE_WITH_TIMEOUT(statusLine(w), expected, 5000);
        QCOMPARE(unwire(w), wired);
        QVERIFY(!w.generator().ltcOutput()->isOpen());
    }

    // Applied without a restart: on wires and reports, off unwires and clears
    // the status line. That the output ends with its thread is tst_startup's.
    void rewiredOnApply()
    {
        Orvello w({"orvello", "noupdatecheck"});
        w.settings().ltc_protocol_on = true;
        w.settings().ltc_level = -20;
        w.applySettings();
        w.applySettings();
        QTRY_COMPARE_WITH_TIMEOUT(statusLine(w), QStringLiteral("LTC: no audio system, retrying"),
                                  5000);
        QVERIFY(unwire(w));
        QVERIFY(!unwire(w));
        w.settings().ltc_protocol_on = false;
        w.applySettings();
        QTRY_COMPARE_WITH_TIMEOUT(statusLine(w), QString(), 5000);
        QVERIFY(!unwire(w));
    }
};

QTEST_MAIN(TestLtcWiring)
#include "tst_ltcwiring.moc"
