#include "oscbytes.h"
#include "playlist.h"
#include "privatenetwork.h"
#include "settingsplaces.h"
#include "settingsplaylist.h"
#include "table.h"
#include "windowfixture.h"
#include "writefile.h"

#include <QUdpSocket>
#include <QtTest>
#include <QtWidgets>

namespace
{
// Answers every box the window opens and remembers "title|text", with
// "|informative text" when there is one. Without `answer` it presses Return,
// which must press the box's default button. A file dialog gets `fileName`.
struct BoxWatcher : QObject {
    QStringList seen;
    QTimer timer;
    explicit BoxWatcher(QMessageBox::StandardButton answer = QMessageBox::NoButton,
                        const QString &fileName = QString())
    {
        connect(&timer, &QTimer::timeout, this, [this, answer, fileName] {
            QWidget *modal = QApplication::activeModalWidget();
            if (auto *dialog = qobject_cast<QFileDialog *>(modal)) {
                // Typed as a user would: the dialog lists its folder in the
                // background and may reselect its own name meanwhile.
                auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
                if (name) {
                    name->setText(fileName);
                    QMetaObject::invokeMethod(dialog, "accept");
                }
            } else if (auto *box = qobject_cast<QMessageBox *>(modal)) {
                seen << box->windowTitle() + QLatin1Char('|') + box->text() +
                            (box->informativeText().isEmpty()
                                 ? QString()
                                 : QLatin1Char('|') + box->informativeText());
                if (QAbstractButton *button = box->button(answer))
                    button->click();
                else
                    QTest::keyClick(box, Qt::Key_Return);
            }
        });
        timer.start(20);
    }
};
} // namespace

class TestSettingsWindow : public QObject
{
    Q_OBJECT
    WindowFixture m_fixture;
    QScopedPointer<Orvello> m_window;

    void open()
    {
        m_window.reset(new Orvello({"orvello", "nomidi", "noupdatecheck"}));
        m_window->show();
    }
    Settings *edit()
    {
        m_window->slotSettingsEdit();
        return m_window->settingsWindow();
    }
    QString file(const QString &name, const QByteArray &text)
    {
        return writeFile(m_fixture.dir.filePath(name), text);
    }
    static void click(Settings *window, const char *name)
    {
        window->findChild<QPushButton *>(QLatin1String(name))->click();
    }

private slots:
    void initTestCase()
    {
        REQUIRE_PRIVATE_NETWORK();
        // The file dialog keeps its state in the user's configuration folder.
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_fixture.dir.path()));
    }
    void init() { m_fixture.freshStore(); }
    void cleanup() { m_window.reset(); }

    void askingAgainRaisesTheSameWindow()
    {
        open();
        m_window->view().settingsButton->click();
        QPointer<Settings> first = m_window->settingsWindow();
        QVERIFY(first && first->isVisible());
        m_window->view().actionEdit->trigger();
        QCOMPARE(m_window->settingsWindow(), first.data());
        first->findChild<QSpinBox *>(QStringLiteral("dmxUniverse"))->setValue(12);
        first->close(); // the close button cancels
        QVERIFY(!m_window->settingsWindow());
        QTRY_VERIFY(!first);
        QCOMPARE(m_window->settings().dmx_in_universe, 256);
        QVERIFY(SettingsStore::open()->allKeys().isEmpty());
    }

    void okWithoutEditsSavesEverythingUnchanged()
    {
        SettingsStore::open()->setValue(QStringLiteral("artnet_interface_name"), "10.9.9.9");
        SettingsStore::open()->setValue(QStringLiteral("end_hour_3"), 12);
        open();
        click(edit(), "ok"); // the unknown interface shows as "all"
        QVERIFY(!m_window->settingsWindow());
        const QStringList keys = SettingsStore::open()->allKeys();
        for (const char *key : {"start_hour_0", "exits_at_end_8", "midi_timecode_type"})
            QVERIFY2(keys.contains(QLatin1String(key)), key);
        QCOMPARE(SettingsStore::open()->value("artnet_interface_name").toString(),
                 QStringLiteral("10.9.9.9"));
        QCOMPARE(SettingsStore::open()->value("end_hour_3").toInt(), 12);
    }

    // The LTC group edits switch, device and level, applied on OK like the
    // other outputs; a stored device that is not there now is kept.
    void ltcGroupAppliesOnOk()
    {
        qputenv("JACK_DEFAULT_SERVER", "orvello-settings-none");
        qputenv("PULSE_SERVER", "unix:/nonexistent/orvello");
        SettingsStore::open()->setValue(QStringLiteral("ltc_device"), "Desk");
        open();
        Settings *window = edit();
        auto *devices = window->findChild<QComboBox *>(QStringLiteral("ltcDevices"));
        QCOMPARE(devices->itemData(0).toString(), QString()); // the system default
        QCOMPARE(devices->currentText(), QStringLiteral("Desk"));
        window->findChild<QCheckBox *>(QStringLiteral("ltcTrigger"))->click();
        window->findChild<QDoubleSpinBox *>(QStringLiteral("ltcLevel"))->setValue(-24);
        click(window, "ok");
        const SettingStruct &applied = m_window->settings();
        QVERIFY(applied.ltc_protocol_on && applied.ltc_level == -24);
        QCOMPARE(applied.ltc_device, QStringLiteral("Desk"));
        QCOMPARE(SettingsStore::open()->value("ltc_level").toDouble(), -24.0);
        QVERIFY(QObject::disconnect(
            m_window->generator().ltcHandOff(), &FrameHandOff::signalSendTimecodeTimeOut,
            m_window->generator().ltcOutput(), &LtcOutput::slotSendTimeCode));
    }

    // An address or user bits the outputs cannot use are marked and OK is
    // refused; once usable, every wire option reaches the record, the store
    // and the running outputs.
    void wireOptionsRefusedUntilUsableThenApplied()
    {
        open();
        Settings *window = edit();
        auto *unicast = window->findChild<QLineEdit *>(QStringLiteral("artnetUnicast"));
        auto *userBits = window->findChild<QLineEdit *>(QStringLiteral("ltcUserBits"));
        const auto type = [](QLineEdit *field, const QString &text) {
            field->clear();
            QTest::keyClicks(field, text);
        };
        const struct {
            const char *unicast;
            const char *userBits;
            bool accepted;
        } steps[] = {
            {"10.77.0.2 10.77.0", "", false},
            {"10.77.0.2", "12345G78", false},
            {"10.77.0.2  192.168.77.9", "date", true},
        };
        for (const auto &step : steps) {
            type(unicast, QLatin1String(step.unicast));
            type(userBits, QLatin1String(step.userBits));
            if (step.accepted) {
                window->findChild<QCheckBox *>(QStringLiteral("trueDropFrame"))->click();
                window->findChild<QCheckBox *>(QStringLiteral("artnetBroadcast"))->click();
                window->findChild<QSpinBox *>(QStringLiteral("artnetStreamId"))->setValue(5);
                window->findChild<QSpinBox *>(QStringLiteral("artnetOffset"))->setValue(-40);
                window->findChild<QSpinBox *>(QStringLiteral("midiOffset"))->setValue(2);
                window->findChild<QSpinBox *>(QStringLiteral("ltcOffset"))->setValue(3);
            }
            click(window, "ok");
            QCOMPARE(m_window->settingsWindow() == nullptr, step.accepted);
            if (!step.accepted) {
                QCOMPARE(unicast->styleSheet().isEmpty(),
                         step.unicast == QLatin1String("10.77.0.2"));
                QCOMPARE(userBits->styleSheet().isEmpty(), *step.userBits == 0);
                QVERIFY(m_window->settings().artnet_unicast.isEmpty());
            }
        }
        const SettingStruct &applied = m_window->settings();
        QVERIFY(applied.true_drop_frame && !applied.artnet_broadcast);
        QCOMPARE(applied.artnet_unicast, QStringLiteral("10.77.0.2 192.168.77.9"));
        QVERIFY(applied.artnet_stream_id == 5 && applied.artnet_offset == -30 &&
                applied.midi_offset == 2 && applied.ltc_offset == 3);
        QCOMPARE(applied.ltc_userbits, QStringLiteral("date"));
        QCOMPARE(SettingsStore::open()->value("artnet_unicast").toString(), applied.artnet_unicast);
        QCOMPARE(SettingsStore::open()->value("true_drop_frame").toInt(), 1);
        // Broadcasts off: only the unicast addresses get the code.
        QStringList destinations;
        for (const ArtnetDestination &d : m_window->generator().artnetNode()->status().destinations)
            destinations << d.address;
        QCOMPARE(destinations, (QStringList{"10.77.0.2", "192.168.77.9"}));
        QTRY_VERIFY(m_window->calculator()->isTrueDropFrame());
        QCOMPARE(OrvelloView::codeText(1, 2, 3, 4, true), QStringLiteral("01:02:03;04"));
    }

    // The Remote group: switches, ports and token applied on OK, and the
    // remotes follow at once. An OSC command in the window is a click on its
    // control, so the controls show what was done.
    void remoteGroupAppliesOnOkAndDrivesTheControls()
    {
        open();
        QVERIFY(!m_window->remote().osc().isOpen() && !m_window->remote().web().isListening());
        Settings *window = edit();
        window->findChild<QCheckBox *>(QStringLiteral("oscEnabled"))->click();
        window->findChild<QSpinBox *>(QStringLiteral("oscPort"))->setValue(19101);
        window->findChild<QCheckBox *>(QStringLiteral("webEnabled"))->click();
        window->findChild<QSpinBox *>(QStringLiteral("webPort"))->setValue(18181);
        auto *token = window->findChild<QLineEdit *>(QStringLiteral("webToken"));
        QTest::keyClicks(token, QStringLiteral("no blanks"));
        QCOMPARE(token->text(), QStringLiteral("noblanks"));
        click(window, "ok");
        const SettingStruct &applied = m_window->settings();
        QVERIFY(applied.osc_enabled && applied.web_enabled);
        QCOMPARE(applied.osc_port, 19101);
        QCOMPARE(applied.web_token, QStringLiteral("noblanks"));
        QCOMPARE(SettingsStore::open()->value("web_port").toInt(), 18181);
        QCOMPARE(m_window->remote().osc().port(), 19101);
        QCOMPARE(m_window->remote().web().address(), QHostAddress(QHostAddress::Any));

        QUdpSocket surface;
        surface.writeDatagram(oscMessage("/orvello/format", "i", 3), QHostAddress::LocalHost,
                              19101);
        QTRY_VERIFY(m_window->view().fps30->isChecked());
        QTRY_COMPARE(m_window->generator().format(), 3);
        surface.writeDatagram(oscMessage("/orvello/freeze"), QHostAddress::LocalHost, 19101);
        QTRY_VERIFY(m_window->view().freezeButton->isChecked());
        QTRY_VERIFY(m_window->isFrozen());
    }

    // Defaults and Ctrl+N ask first; Return takes the default answer, No.
    void commandsThatLoseTheShowAsk_data()
    {
        Table::columns<bool, bool>("isDefaults", "lost"); // lost: answered Yes, not Return
        for (const bool isDefaults : {true, false})
            for (const bool lost : {false, true})
                QTest::addRow("%s, %s", isDefaults ? "Defaults" : "Ctrl+N", lost ? "Yes" : "Return")
                    << isDefaults << lost;
    }

    void commandsThatLoseTheShowAsk()
    {
        const auto [isDefaults, lost] = Table::fetch<bool, bool>("isDefaults", "lost");
        SettingsStore::open()->setValue(QStringLiteral("UseLcd"), true);
        SettingsStore::open()->setValue(QStringLiteral("start_hour_4"), 5);
        SettingsStore::open()->setValue(QStringLiteral("playlist_count"), 2);
        SettingsStore::open()->setValue(QStringLiteral("playlist_hour_0"), 1);
        SettingsStore::open()->setValue(QStringLiteral("playlist_hour_1"), 2);
        open();
        QCOMPARE(m_window->settings().places[4].StartHour, quint8(5));
        BoxWatcher watcher{lost ? QMessageBox::Yes : QMessageBox::NoButton};
        if (isDefaults)
            click(edit(), "defaults");
        else
            m_window->view().actionNew->trigger(); // Ctrl+N
        QCOMPARE(watcher.seen.size(), 1);
        QVERIFY2(watcher.seen.first().contains(
                     isDefaults ? QLatin1String("Defaults|Replace the 9 places and all other")
                                : QLatin1String("New Settings|Replace the 9 places and 2 playlist "
                                                "entries with defaults?")),
                 qPrintable(watcher.seen.first()));
        QCOMPARE(m_window->settings().places[4].StartHour, quint8(lost ? 0 : 5));
        QCOMPARE(m_window->generator().playlist()->itemCount(), lost && !isDefaults ? 0 : 2);
        QCOMPARE(SettingsStore::open()->contains(QStringLiteral("UseLcd")), !(lost && isDefaults));
        if (!isDefaults) // Ctrl+N saves nothing until applied
            QCOMPARE(SettingsStore::open()->value("start_hour_4").toInt(), 5);
        QCOMPARE(!m_window->settingsWindow(), lost || !isDefaults);
    }

    // Escape cancels; Return presses the focused button, else the default OK.
    // Verbose, closing says so.
    void dialogKeys_data()
    {
        Table::columns<int, QString, int>("key", "focus", "applied");
        Table::row("Escape", int(Qt::Key_Escape), "dmxUniverse", 256);
        Table::row("Return in a field", int(Qt::Key_Return), "dmxUniverse", 12);
        Table::row("Enter in a field", int(Qt::Key_Enter), "dmxUniverse", 12);
        Table::row("Return on Cancel", int(Qt::Key_Return), "cancel", 256);
    }

    void dialogKeys()
    {
        const auto [key, focus, applied] =
            Table::fetch<int, QString, int>("key", "focus", "applied");
        m_window.reset(new Orvello({"orvello", "nomidi", "noupdatecheck", "verbose"}));
        m_window->show();
        Settings *window = edit();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QVERIFY(window->findChild<QPushButton *>(QStringLiteral("ok"))->isDefault());
        window->findChild<QSpinBox *>(QStringLiteral("dmxUniverse"))->setValue(12);
        auto *target = window->findChild<QWidget *>(focus);
        target->setFocus();
        QTest::ignoreMessage(QtDebugMsg, "close settings"); // and fails without it
        QTest::keyClick(target, Qt::Key(key));
        QVERIFY(!m_window->settingsWindow());
        QCOMPARE(m_window->settings().dmx_in_universe, applied);
    }

    // The file holds what the window shows, edits not yet applied included.
    void exportWritesTheWindowsEdits()
    {
        open();
        Settings *window = edit();
        window->findChild<QSpinBox *>(QStringLiteral("dmxUniverse"))->setValue(12);
        window->playlistEditor()->enableButton()->click();
        window->playlistEditor()->addButton()->click(); // the running list stays empty
        const QString path = m_fixture.dir.filePath(QStringLiteral("edited.ovxml"));
        BoxWatcher watcher(QMessageBox::NoButton, path);
        click(window, "export");
        QFile written(path);
        QVERIFY(written.open(QIODevice::ReadOnly));
        const QByteArray text = written.readAll();
        QVERIFY2(text.contains(R"(dmx_in_universe="12")"), text.constData());
        QVERIFY2(text.contains(R"(<playlist_item version="1"/>)"), text.constData());
        QCOMPARE(m_window->settings().dmx_in_universe, 256); // nothing applied
        QVERIFY(watcher.seen.isEmpty());
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
        BoxWatcher watcher;
        QVERIFY(m_window->importConfigFile(path));
        // Both values are taken, and named once.
        QCOMPARE(watcher.seen,
                 QStringList{"Orvello|The file " + path +
                             " was imported with values the settings window cannot show as they "
                             "are:|line 2: dmx_in_item dmx_in_universe=\"300\" is not a number "
                             "from 1 to 256\nline 3: place_item start_hour=\"30\" is not a "
                             "number from 0 to 23"});
        QTRY_VERIFY(!before);
        Settings *after = m_window->settingsWindow();
        QVERIFY(after && after->isVisible());
        QCOMPARE(after->workingCopy().dmx_in_universe, 300);
        QCOMPARE(SettingsStore::open()->value("dmx_in_universe").toInt(), 300);
        QCOMPARE(SettingsStore::open()->value("path_export_import").toString(),
                 m_fixture.dir.path() + QLatin1Char('/'));

        // Start 30:00:00 is kept; the counter takes it modulo a day and the
        // codes stay valid: place 2 runs from 06:00:00 on.
        QCOMPARE(m_window->settings().places[1].StartHour, quint8(30));
        QStringList codes;
        QObject receiver; // ends the connection with this function
        connect(m_window->generator().midiHandOff(), &FrameHandOff::signalSendTimecodeTimeOut,
                &receiver, [&codes](quint8 h, quint8 m, quint8 s, quint8, quint8) {
                    codes << QString::asprintf("%02d:%02d:%02d", h, m, s);
                });
        m_window->slotClickedFile(1);
        QTRY_VERIFY_WITH_TIMEOUT(!codes.isEmpty(), 3000);
        QCOMPARE(codes.first(), QStringLiteral("06:00:00"));
    }

    void failuresShowTheirBoxAndKeepTheRecord_data()
    {
        using Table::row;
        Table::columns<bool, QString, QString>("isExport", "path", "box");
        const QString missing = m_fixture.dir.filePath(QStringLiteral("missing.ovxml"));
        row("unreadable", false, missing,
            "Orvello|The file " + missing + " could not be read!\nNo such file or directory.");
        const QString broken = file(QStringLiteral("broken.ovxml"), "<OrvelloConfig>");
        row("malformed", false, broken,
            "XML-Error|Could not load file " + broken +
                "! It is not a valid Orvello XML file (*.ovxml).");
        const QString nowhere = m_fixture.dir.filePath(QStringLiteral("no/folder/x.ovxml"));
        row("unwritable", true, nowhere,
            "Orvello|The file " + nowhere + " could not be written!\nNo such file or directory.");
    }

    void failuresShowTheirBoxAndKeepTheRecord()
    {
        const auto [isExport, path, box] =
            Table::fetch<bool, QString, QString>("isExport", "path", "box");
        SettingsStore::open()->setValue(QStringLiteral("start_minute_4"), 33);
        open();
        BoxWatcher watcher;
        QVERIFY(!(isExport ? m_window->writeConfigFile(path) : m_window->importConfigFile(path)));
        QCOMPARE(watcher.seen, QStringList{box});
        QCOMPARE(m_window->settings().places[4].StartMinute, quint8(33));
        QVERIFY(!SettingsStore::open()->allKeys().contains(QStringLiteral("path_export_import")));
    }
};

QTEST_MAIN(TestSettingsWindow)
#include "tst_settingswindow.moc"
