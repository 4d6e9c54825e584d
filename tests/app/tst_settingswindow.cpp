#include "orvello.h"
#include "privatenetwork.h"
#include "settingsplaces.h"
#include "settingsstore.h"

#include <QTemporaryDir>
#include <QtTest>
#include <QtWidgets>

namespace
{
// Answers every warning box the window opens and remembers "title|text".
struct BoxWatcher : QObject {
    QStringList seen;
    QTimer timer;
    BoxWatcher()
    {
        connect(&timer, &QTimer::timeout, this, [this] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                seen << box->windowTitle() + QLatin1Char('|') + box->text();
                box->accept();
            }
        });
        timer.start(20);
    }
};

QStringList storedKeys()
{
    return SettingsStore::open()->allKeys();
}
} // namespace

class TestSettingsWindow : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    Orvello *m_window = nullptr;

    Orvello *open()
    {
        m_window = new Orvello(QStringList{QStringLiteral("orvello"), QStringLiteral("nomidi"),
                                           QStringLiteral("noupdatecheck")});
        m_window->show();
        return m_window;
    }
    Settings *edit()
    {
        m_window->slotSettingsEdit();
        return m_window->settingsWindow();
    }
    QString file(const QString &name, const QByteArray &text)
    {
        QFile f(m_dir.filePath(name));
        if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size())
            qFatal("cannot write the test file");
        return f.fileName();
    }
    static void click(Settings *window, const char *name)
    {
        window->findChild<QPushButton *>(QLatin1String(name))->click();
    }

private slots:
    void initTestCase() { REQUIRE_PRIVATE_NETWORK(); }
    void init()
    {
        QVERIFY(m_dir.isValid());
        QFile::remove(m_dir.filePath(QStringLiteral("store.conf")));
        SettingsStore::useFile(m_dir.filePath(QStringLiteral("store.conf")));
    }
    void cleanup()
    {
        delete m_window;
        m_window = nullptr;
    }

    void askingAgainRaisesTheSameWindow()
    {
        open();
        m_window->view().settingsButton->click();
        QPointer<Settings> first = m_window->settingsWindow();
        QVERIFY(first && first->isVisible());
        m_window->view().actionEdit->trigger();
        QCOMPARE(m_window->settingsWindow(), first.data());
        int windows = 0;
        for (QWidget *w : QApplication::topLevelWidgets())
            windows += qobject_cast<Settings *>(w) != nullptr;
        QCOMPARE(windows, 1);
        first->close(); // the close button cancels
        QVERIFY(!m_window->settingsWindow());
        QTRY_VERIFY(!first);
    }

    void okWithoutEditsSavesEverythingUnchanged()
    {
        SettingsStore::open()->setValue(QStringLiteral("artnet_interface_name"), "10.9.9.9");
        SettingsStore::open()->setValue(QStringLiteral("end_hour_3"), 12);
        open();
        Settings *window = edit();
        QVERIFY(window->findChild<QComboBox *>(QStringLiteral("interfaces"))
                    ->currentText()
                    .startsWith(QLatin1String("all: 255.255.255.255")));
        click(window, "ok");
        QVERIFY(!m_window->settingsWindow());
        const QStringList keys = storedKeys();
        for (const char *key : {"start_hour_0", "exits_at_end_8", "dmx_in_enabled",
                                "dmx_in_universe", "artnet_protocol_on", "midi_protocol_on",
                                "midi_interface_name", "midi_timecode_type"})
            QVERIFY2(keys.contains(QLatin1String(key)), key);
        QCOMPARE(SettingsStore::open()->value("artnet_interface_name").toString(),
                 QStringLiteral("10.9.9.9"));
        QCOMPARE(SettingsStore::open()->value("end_hour_3").toInt(), 12);
    }

    void cancelAfterEditsChangesNothing()
    {
        open();
        Settings *window = edit();
        window->findChild<QSpinBox *>(QStringLiteral("dmxUniverse"))->setValue(12);
        qobject_cast<QTimeEdit *>(window->placesEditor()->table()->cellWidget(0, 1))
            ->setTime(QTime(7, 0));
        click(window, "cancel");
        QVERIFY(!m_window->settingsWindow());
        QCOMPARE(m_window->settings().dmx_in_universe, 256);
        QCOMPARE(m_window->settings().places[0].StartHour, quint8(0));
        QVERIFY(storedKeys().isEmpty());
    }

    void defaultsEraseTheStoreAndApply()
    {
        SettingsStore::open()->setValue(QStringLiteral("UseLcd"), true);
        SettingsStore::open()->setValue(QStringLiteral("dmx_in_universe"), 5);
        open();
        QCOMPARE(m_window->settings().dmx_in_universe, 5);
        click(edit(), "defaults");
        QVERIFY(!m_window->settingsWindow());
        QCOMPARE(m_window->settings().dmx_in_universe, 256);
        QVERIFY(!storedKeys().contains(QStringLiteral("UseLcd")));
        QCOMPARE(SettingsStore::open()->value("dmx_in_universe").toInt(), 256);
    }

    void importReplacesAppliesAndReopens()
    {
        const QString path = file(QStringLiteral("show.ovxml"),
                                  R"(<!DOCTYPE orvello><OrvelloConfig>
 <dmx_in_item version="1" dmx_in_universe="300"/>
 <place_item version="1" place_number="2" start_hour="30" end_hour="7"/>
</OrvelloConfig>)");
        open();
        QPointer<Settings> before = edit();
        QVERIFY(m_window->importConfigFile(path));
        QTRY_VERIFY(!before);
        Settings *after = m_window->settingsWindow();
        QVERIFY(after && after->isVisible());
        QCOMPARE(after->findChild<QSpinBox *>(QStringLiteral("dmxUniverse"))->value(), 256);
        QCOMPARE(after->workingCopy().dmx_in_universe, 300);
        QCOMPARE(SettingsStore::open()->value("dmx_in_universe").toInt(), 300);
        QCOMPARE(SettingsStore::open()->value("path_export_import").toString(),
                 m_dir.path() + QLatin1Char('/'));

        // Start 30:00:00 is kept; the counter takes it modulo a day and the
        // codes stay valid: place 2 runs from 06:00:00 on.
        QCOMPARE(m_window->settings().places[1].StartHour, quint8(30));
        QStringList codes;
        QObject receiver; // ends the connection with this function
        connect(m_window->calculator(), &TimecodeCalculator::signalSendTimecodeTimeOut, &receiver,
                [&codes](quint8 h, quint8 m, quint8 s, quint8, quint8) {
                    codes << QString::asprintf("%02d:%02d:%02d", h, m, s);
                });
        m_window->slotClickedFile(1);
        QTRY_VERIFY_WITH_TIMEOUT(!codes.isEmpty(), 3000);
        QCOMPARE(codes.first(), QStringLiteral("06:00:00"));
    }

    void failuresShowTheirBoxAndKeepTheRecord_data()
    {
        QTest::addColumn<bool>("isExport");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("box");
        const QString missing = m_dir.filePath(QStringLiteral("missing.ovxml"));
        QTest::newRow("unreadable")
            << false << missing
            << "Orvello|The file " + missing + " could not be read!\nNo such file or directory.";
        const QString broken = file(QStringLiteral("broken.ovxml"), "<OrvelloConfig>");
        QTest::newRow("malformed") << false << broken
                                   << "XML-Error|Could not load file " + broken +
                                          "! It is not a valid Orvello XML file (*.ovxml).";
        const QString nowhere = m_dir.filePath(QStringLiteral("no/folder/x.ovxml"));
        QTest::newRow("unwritable")
            << true << nowhere
            << "Orvello|The file " + nowhere + " could not be written!\nNo such file or directory.";
    }

    void failuresShowTheirBoxAndKeepTheRecord()
    {
        QFETCH(bool, isExport);
        QFETCH(QString, path);
        QFETCH(QString, box);
        SettingsStore::open()->setValue(QStringLiteral("start_minute_4"), 33);
        open();
        BoxWatcher watcher;
        QVERIFY(!(isExport ? m_window->writeConfigFile(path) : m_window->importConfigFile(path)));
        QCOMPARE(watcher.seen, QStringList{box});
        QCOMPARE(m_window->settings().places[4].StartMinute, quint8(33));
        QVERIFY(!storedKeys().contains(QStringLiteral("path_export_import")));
    }
};

QTEST_MAIN(TestSettingsWindow)
#include "tst_settingswindow.moc"
