#include "codedisplay.h"
#include "lcddisplay.h"
#include "orvello.h"
#include "privatenetwork.h"
#include "table.h"
#include "windowfixture.h"
#include "writefile.h"

#include <QtTest>
#include <QtWidgets>

namespace
{
// Codes the calculator sends, collected on the test's thread: the receiver
// context makes the connection queued, so nothing is touched across threads.
struct CodeLog : QObject {
    QList<int> types;
    QStringList codes;
    explicit CodeLog(FrameHandOff *frames)
    {
        connect(frames, &FrameHandOff::signalSendTimecodeTimeOut, this,
                [this](quint8 h, quint8 m, quint8 s, quint8 f, quint8 type) {
                    types << type;
                    codes << QString::asprintf("%02d:%02d:%02d:%02d", h, m, s, f);
                });
    }
};

QColor colour(const QWidget *button)
{
    return button->palette().color(QPalette::Button);
}

const QColor Green(0, 255, 0);
} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
    WindowFixture m_fixture;

    Orvello *open(const QStringList &args = {}) { return m_fixture.open(args); }
    static void seed(const QString &key, const QVariant &value)
    {
        SettingsStore::open()->setValue(key, value);
    }
    // As a user types: to whatever has the focus, not to the window.
    void press(int key, Qt::KeyboardModifiers modifiers = Qt::ControlModifier)
    {
        QWidget *focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : m_fixture.window, Qt::Key(key), modifiers);
    }
    QPushButton *button(int n) const // 0 system time, 1..9 places
    {
        const OrvelloView &v = m_fixture.window->view();
        return n ? v.placeButtons[n - 1] : v.systemTimeButton;
    }
    void waitForGreen(int n) { QTRY_COMPARE_WITH_TIMEOUT(colour(button(n)), Green, 3000); }

private slots:
    void initTestCase() { REQUIRE_PRIVATE_NETWORK(); }
    void init()
    {
        // Any framework warning is a fault, except the offscreen platform's notes
        // on what it cannot do (raise a menu, grab the keyboard).
        QTest::failOnWarning(
            QRegularExpression(QStringLiteral("^(?!This plugin does not support "
                                              "(raise|grabbing|propagateSizeHints)).*")));
        m_fixture.freshStore();
    }
    void cleanup() { m_fixture.close(); }

    void spaceStartsAndPauses()
    {
        Orvello *w = open();
        QVERIFY(!w->windowIcon().isNull());
        CodeLog log(w->generator().midiHandOff());
        QTest::qWait(200); // paused from the start: nothing may reach the display
        QCOMPARE(w->view().displayText(), QStringLiteral("--:--:--:--"));
        QVERIFY(w->view().playPauseButton->isChecked() && w->blinkTimer()->isActive());
        press(Qt::Key_Space, Qt::NoModifier);
        QTRY_VERIFY_WITH_TIMEOUT(!w->isPaused(), 3000);
        QVERIFY(!w->view().playPauseButton->isChecked() && !w->blinkTimer()->isActive());
        // Before any place the counter runs from the reset instant.
        QTRY_VERIFY_WITH_TIMEOUT(w->view().displayText().startsWith(QLatin1String("00:00:0")),
                                 3000);
        QTRY_VERIFY(log.codes.size() > 3);
        press(Qt::Key_Space, Qt::NoModifier);
        QTRY_VERIFY_WITH_TIMEOUT(w->isPaused(), 3000);
        QVERIFY(w->view().playPauseButton->isChecked());
        QCOMPARE(w->blinkTimer()->interval(), 400);
        QTRY_COMPARE_WITH_TIMEOUT(w->view().display()->isEnabled(), false, 1000); // it blinks
        QTest::qWait(100);
        const QString held = w->view().displayText();
        const int sent = log.codes.size();
        QTest::qWait(200);
        QVERIFY(w->view().displayText() == held && log.codes.size() == sent);
    }

    // Space, a click on play or Return and Enter on it give exactly one
    // toggle, at once, whatever has the focus: a second one from the key's
    // release, its repeat or a late animated click would show here. On other
    // controls Return and Enter press the focused control once instead.
    void keysOnTheFocusedControl_data()
    {
        // focus: object name of the focused control; key 0: a mouse click on the play button
        Table::columns<QString, int>("focus", "key");
        for (const char *focus : {"play_pause", "freeze", "format_1", "place_3", "reset"})
            QTest::addRow("Space on %s", focus) << focus << int(Qt::Key_Space);
        QTest::newRow("Return on play_pause") << "play_pause" << int(Qt::Key_Return);
        QTest::newRow("Enter on play_pause") << "play_pause" << int(Qt::Key_Enter);
        QTest::newRow("click") << "play_pause" << 0;
        QTest::newRow("Return on reset") << "reset" << int(Qt::Key_Return);
        QTest::newRow("Enter on freeze") << "freeze" << int(Qt::Key_Enter);
        QTest::newRow("Return on place 3") << "place_3" << int(Qt::Key_Return);
        QTest::newRow("Enter on system time") << "place_0" << int(Qt::Key_Enter);
        QTest::newRow("Return on 25 FPS") << "format_1" << int(Qt::Key_Return);
    }

    void keysOnTheFocusedControl()
    {
        const auto [focus, key] = Table::fetch<QString, int>("focus", "key");
        Orvello *w = open();
        QList<bool> answers;
        connect(&w->generator(), &Generator::signalChangedPlayPause, this,
                [&answers](bool paused, bool) { answers << paused; });
        auto *target = w->findChild<QAbstractButton *>(focus);
        target->setFocus(Qt::TabFocusReason);
        QTRY_COMPARE(QApplication::focusWidget(), target);
        QSignalSpy clicked(target, &QAbstractButton::clicked);
        QPushButton *play = w->view().playPauseButton;
        if (key) {
            QTest::keyPress(target, Qt::Key(key));
            QKeyEvent held(QEvent::KeyPress, key, Qt::NoModifier, QString(), true);
            QApplication::sendEvent(target, &held);
            QTest::keyRelease(target, Qt::Key(key));
        } else {
            QTest::mouseClick(play, Qt::LeftButton);
        }
        // Space is the play key wherever the focus is: it presses the play
        // button, never the focused control.
        QCOMPARE(clicked.size(), key == Qt::Key_Space && target != play ? 0 : 1);
        if (key != Qt::Key_Space && target != play)
            return;
        QTRY_COMPARE_WITH_TIMEOUT(answers.size(), 1, 1000);
        QTest::qWait(300); // an animated click would land about 100 ms after the key
        QCOMPARE(answers, QList<bool>{false});
        QCOMPARE(QApplication::focusWidget(), key ? target : play);
        QVERIFY(!play->isChecked());
    }

    // In this namespace only loopback exists and no MIDI system runs: both are
    // failures until the operator switches the outputs off; no message box opens.
    void statusLine()
    {
        seed(QStringLiteral("midi_protocol_on"), 1);
        Orvello *w = open();
        QLabel *artnet = w->findChild<QLabel *>(QStringLiteral("status_artnet"));
        QLabel *midi = w->findChild<QLabel *>(QStringLiteral("status_midi"));
        const auto red = [](const QLabel *l) {
            return l->palette().color(QPalette::WindowText) == OrvelloView::errorColour();
        };
        QTRY_VERIFY_WITH_TIMEOUT(artnet->text().startsWith("Art-Net: loopback only (no network)"),
                                 3000);
        QTRY_COMPARE_WITH_TIMEOUT(midi->text(), QStringLiteral("MIDI: no MIDI ports"), 3000);
        QVERIFY(red(artnet) && red(midi) && artnet->isVisible());
        QVERIFY(w->findChild<QLabel *>(QStringLiteral("status_other_source"))->text().isEmpty());
        w->slotClickedFile(-3); // running: the count follows within a second
        QTRY_VERIFY_WITH_TIMEOUT(!artnet->text().endsWith("frames sent: 0"), 3000);
        QVERIFY(QApplication::activeModalWidget() == nullptr);

        w->settings().artnet_protocol_on = false;
        w->settings().midi_protocol_on = false;
        w->applySettings();
        QCOMPARE(artnet->text() + ' ' + midi->text(), QStringLiteral("Art-Net: off MIDI: off"));
        QVERIFY(!red(artnet) && !red(midi));

        // One destination of two failing: only its part takes the error colour,
        // and text from outside (a device name) is shown, never read as markup.
        const QString red_ = OrvelloView::errorColour().name();
        QMainWindow bare;
        OrvelloView view;
        view.build(&bare, false);
        artnet = view.statusLabels[StatusFact::Artnet];
        view.showStatus(
            {{StatusFact::Artnet,
              "Art-Net: to a<b> (frames sent: 9), c: network unreachable",
              false,
              {{"Art-Net: to a<b> (frames sent: 9), ", false}, {"c: network unreachable", true}}}});
        QCOMPARE(artnet->textFormat(), Qt::RichText);
        QCOMPARE(artnet->text(), "Art-Net: to a&lt;b&gt; (frames sent: 9), <span style=\"color:" +
                                     red_ + "\">c: network unreachable</span>");
        QVERIFY(!red(artnet));
        view.showStatus({{StatusFact::Artnet, "Art-Net: to <i>x</i>", true, {}}});
        QCOMPARE(artnet->textFormat(), Qt::PlainText);
        QVERIFY(red(artnet));
    }

    // A damaged store is named in the status line, in the error colour.
    void damagedStoreInStatusLine()
    {
        const QString ini = writeFile(m_fixture.storePath(), "[General]\nbroken line\n");
        Orvello *w = open();
        QLabel *store = w->findChild<QLabel *>(QStringLiteral("status_store"));
        QTRY_VERIFY_WITH_TIMEOUT(store->text().contains(ini), 3000);
        QCOMPARE(store->palette().color(QPalette::WindowText), OrvelloView::errorColour());
        QVERIFY(store->isVisible());
    }

    void freezeResetAndFormatShortcuts()
    {
        Orvello *w = open({QStringLiteral("24fps")});
        CodeLog log(w->generator().midiHandOff());
        press(Qt::Key_F);
        QTRY_VERIFY_WITH_TIMEOUT(w->isFrozen() && w->view().freezeButton->isChecked(), 3000);
        QCOMPARE(w->blinkTimer()->interval(), 200);
        press(Qt::Key_1);
        waitForGreen(1);
        press(Qt::Key_R);
        // The reset answer removes the green even though the place stays watched.
        QTRY_COMPARE_WITH_TIMEOUT(colour(button(1)), w->view().normalColour, 3000);
        press(Qt::Key_F);
        QTRY_VERIFY_WITH_TIMEOUT(!w->isFrozen(), 3000);
        QTRY_VERIFY(!w->blinkTimer()->isActive()); // place selection started it running
        // A format button reaches the calculator, not only the display.
        QTRY_VERIFY_WITH_TIMEOUT(!log.types.isEmpty() && log.types.last() == 0, 3000);
        press(Qt::Key_4, Qt::ControlModifier | Qt::AltModifier);
        QTRY_COMPARE_WITH_TIMEOUT(w->view().formatGroup->checkedId(), 3, 3000);
        QTRY_COMPARE_WITH_TIMEOUT(log.types.last(), 3, 3000);
    }

    void selectingPlaces_data()
    {
        // digit: Ctrl+digit or -1 (playlist code instead); lit: 0 system time, 1..9, -1 none
        Table::columns<int, int, int>("digit", "playlistCode", "lit");
        for (int digit = 0; digit <= 9; ++digit)
            QTest::addRow("Ctrl+%d", digit) << digit << 0 << digit;
        for (const auto &[code, lit] :
             {std::pair{-3, 0}, {1, 1}, {9, 9}, {-1, -1}, {0, -1}, {-4, -1}, {10, -1}})
            QTest::addRow("playlist %d", code) << -1 << code << lit;
    }

    void selectingPlaces()
    {
        const auto [digit, playlistCode, lit] =
            Table::fetch<int, int, int>("digit", "playlistCode", "lit");
        // Every place starts one minute further on, so the code shows which one ran.
        for (int i = 0; i < 9; ++i)
            seed(QStringLiteral("start_minute_%1").arg(i), i + 1);
        Orvello *w = open();
        CodeLog log(w->generator().midiHandOff());
        if (digit >= 0)
            press(Qt::Key_0 + digit);
        else
            w->slotActivatedPlaylistItem(playlistCode);
        if (lit >= 0) {
            waitForGreen(lit);
            QTRY_VERIFY_WITH_TIMEOUT(!log.codes.isEmpty(), 3000);
            QVERIFY(!w->isPaused());
        } else {
            QTest::qWait(150);
            QVERIFY(w->isPaused() && log.codes.isEmpty());
        }
        if (lit > 0)
            QCOMPARE(log.codes.first().left(6),
                     QStringLiteral("00:%1:").arg(lit, 2, 10, QChar('0')));
        int green = 0;
        for (int n = 0; n <= 9; ++n)
            green += colour(button(n)) == Green;
        QCOMPARE(green, lit >= 0 ? 1 : 0);
        QVERIFY(w->isVisible());
    }

    void playlistExitClosesTheWindow()
    {
        Orvello *w = open();
        QTRY_COMPARE(w->runningWorkerThreads(), 7);
        w->slotActivatedPlaylistItem(-2);
        QVERIFY(!w->isVisible() && !w->calculator());
        QTRY_COMPARE_WITH_TIMEOUT(w->runningWorkerThreads(), 0, 2000);
        w->slotClickedFile(3); // no calculator to go to: dropped
    }

    void placeLooks_data()
    {
        using Table::row;
        // place: start h m s, end h m s, exit
        Table::columns<QByteArray, QString, QColor, QString>("place", "toolTip", "colour", "icon");
        row("neither", QByteArray("\0\0\0\x17\x3b\x3b\1", 7), "Ctrl+3 - Start Code 00:00:00",
            QColor(), QString());
        row("start only, exit flag not mentioned", QByteArray("\3\4\5\x17\x3b\x3b\1", 7),
            "Ctrl+3 - Start Code 03:04:05", QColor(255, 172, 0), ":/images/timecode_start.xpm");
        row("end only with exit", QByteArray("\0\0\0\0\x0a\0\1", 7),
            "Ctrl+3 - Start Code 00:00:00 - Stop Code 00:10:00 - and exits software",
            QColor(205, 128, 0), ":/images/timecode_end.xpm");
        row("start and end", QByteArray("\0\0\x0a\0\0\x0c\0", 7),
            "Ctrl+3 - Start Code 00:00:10 - Stop Code 00:00:12", QColor(255, 128, 0),
            ":/images/timecode_start_end.xpm");
    }

    void placeLooks()
    {
        const auto [place, toolTip, colour, icon] =
            Table::fetch<QByteArray, QString, QColor, QString>("place", "toolTip", "colour",
                                                               "icon");
        Orvello *w = open();
        const auto b = [&bytes = place](int i) { return quint8(bytes[i]); };
        w->settings().places[2] = {b(0), b(1), b(2), b(3), b(4), b(5), b(6)};
        w->applySettings();
        const QColor own = colour.isValid() ? colour : w->view().normalColour;
        QCOMPARE(button(3)->toolTip(), toolTip);
        QCOMPARE(::colour(button(3)), own);
        QCOMPARE(button(3)->icon().isNull(), icon.isEmpty());
        if (!icon.isEmpty())
            QCOMPARE(button(3)->icon().pixmap(24).toImage(), QIcon(icon).pixmap(24).toImage());
        // Selected, any kind is green; after a reset it has its own colour again.
        press(Qt::Key_3);
        waitForGreen(3);
        w->slotChangedTimeReset();
        QCOMPARE(::colour(button(3)), own);
    }

    void labelShowsCodesInAFontThatFollowsTheWindow()
    {
        Orvello *w = open();
        CodeDisplay *label = w->view().label;
        QVERIFY(label && !w->view().lcd && label->font().bold());
        for (quint8 type = 0; type < 4; ++type) { // the same text at every format
            w->slotSendTimecodeTimeOut(9, 10, 0, 29 - type, type);
            QCOMPARE(w->view().displayText(), QStringLiteral("09:10:00:%1").arg(29 - type));
        }
        // The largest bold size whose text fits two thirds of the label, never below 22.
        const auto check = [label]() {
            const int n = label->font().pointSize();
            const auto fits = [&](int size) {
                const QFontMetrics fm(QFont(label->font().family(), size, QFont::Bold));
                return fm.height() < 2 * label->height() / 3 &&
                       fm.horizontalAdvance(label->text()) < 2 * label->width() / 3;
            };
            QVERIFY2(n >= 22 && (n == 22 || fits(n)) && !fits(n + 1),
                     qPrintable(QString::number(n)));
        };
        w->resize(800, 600);
        QTRY_VERIFY(label->width() > 600);
        check();
        const int big = label->font().pointSize();
        QVERIFY2(big > 40, qPrintable(QString::number(big)));
        w->resize(w->minimumSize());
        QTRY_VERIFY(label->font().pointSize() < big);
        check();
        QCOMPARE(label->font().pointSize(), 22); // the grown font did not raise the minimum
    }

    void lcdDisplayKeepsItsFont()
    {
        seed(QStringLiteral("UseLcd"), true);
        Orvello *w = open();
        LcdDisplay *lcd = w->view().lcd;
        QVERIFY(lcd && !w->view().label);
        QCOMPARE(lcd->cellCount(), 11);
        const QFont font = lcd->font();
        w->resize(800, 600);
        QTest::qWait(50);
        QCOMPARE(lcd->font(), font);
        w->slotSendTimecodeTimeOut(1, 2, 3, 4, 1);
        QCOMPARE(w->view().displayText(), QStringLiteral("01:02:03:04"));
        QCOMPARE(lcd->text(), QStringLiteral("01:02:03:04"));
        w->slotBlinkingTimecode(true); // the LCD blinks like the label
        w->slotBlinkingTimecode();
        QVERIFY(!lcd->isEnabled());
    }

    void startFormat_data()
    {
        Table::columns<int, int, int>("stored", "checked", "type");
        Table::row("valid", 1, 1, 1);
        Table::row("invalid", 7, -1, 0); // a Type byte no receiver knows is never sent
    }

    void startFormat()
    {
        const auto [stored, checked, type] =
            Table::fetch<int, int, int>("stored", "checked", "type");
        seed(QStringLiteral("FrameFormat"), stored);
        Orvello *w = open();
        CodeLog log(w->generator().midiHandOff());
        QCOMPARE(w->view().formatGroup->checkedId(), checked);
        w->slotClickedFile(-3);
        QTRY_VERIFY_WITH_TIMEOUT(!log.types.isEmpty(), 3000);
        QCOMPARE(log.types.first(), type);
        cleanup(); // the window's keys go back at shutdown, as they were read
        QCOMPARE(SettingsStore::open()->value(QStringLiteral("FrameFormat")).toInt(), stored);
    }

    void menuAndTexts()
    {
        Orvello *w = open();
        const OrvelloView &v = w->view();
        const QList<QStringList> expected{
            {"New Settings", "Ctrl+N", "Ctrl+N New Configuration"},
            {"Import Settings", "Ctrl+L", "Ctrl+L Import Configuration"},
            {"Export Settings", "Ctrl+S", "Ctrl+S Export Configuration"},
            {"Edit Configuration", "Ctrl+E", "Ctrl+E Edit Configuration"},
            {"Check for Updates", "Ctrl+U",
             "checks if a newer software version is available online"},
            {"Help...", "F1", "opens the Help"},
            {"About Orvello...", "", "opens the About window"},
            {"About Qt...", "", "opens the About Qt window"},
            {"Quit", "Ctrl+Q", ""}};
        // The fullscreen clock heads the menu, then a separator, then the nine.
        QList<QAction *> actions = v.menu->actions();
        QCOMPARE(actions.size(), expected.size() + 2);
        QCOMPARE(actions.takeFirst(), v.actionFullscreen);
        QVERIFY(actions.takeFirst()->isSeparator());
        QCOMPARE(w->actions(), actions + QList<QAction *>{v.actionFullscreen});
        for (int i = 0; i < actions.size(); ++i) {
            const QAction *a = actions[i];
            QCOMPARE((QStringList{a->text(), a->shortcut().toString(), a->statusTip()}),
                     expected[i]);
            QCOMPARE(a->icon().isNull(), i == 6 || i == 7);
        }
        QCOMPARE(actions[8]->toolTip(), QStringLiteral("exits this software"));
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                                w->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(w, &event);
        QVERIFY(event.isAccepted());
        QTRY_VERIFY(v.menu->isVisible());
        v.menu->hide();

        QCOMPARE(v.versionLabel->text(), QStringLiteral("Orvello v2.0.0.1"));
        QVERIFY(v.linkLabel->textFormat() == Qt::RichText && v.linkLabel->openExternalLinks());
        // The default server: another one is followed in tst_updatewindow.
        QCOMPARE(v.linkLabel->text(),
                 QStringLiteral("<a href=\"http://www.orvello.example/update_view.php?"
                                "software=artnetorvello&amp;currentversion=2.0.0.1\">"
                                "www.orvello.example</a>"));
        // Each tool tip names the button's own shortcut.
        const QList<std::pair<QAbstractButton *, QString>> tips{
            {v.fps24, "Ctrl+Alt+1 - sending with 24 frames"},
            {v.fps25, "Ctrl+Alt+2 - sending with 25 frames"},
            {v.fps30Drop, "Ctrl+Alt+3 - sending with 30 dropped frames"},
            {v.fps30, "Ctrl+Alt+4 - sending with 30 frames"},
            {v.resetButton, "Ctrl+R - resets the Start Code"},
            {v.freezeButton, "Ctrl+F - freezes the System Time or Start Code"},
            {v.playPauseButton, "Space Key - starts/pauses the Start Code"},
            {v.settingsButton, "Ctrl+E - opens the settings window"},
            {v.systemTimeButton, "Ctrl+0 - initializes Systemtime"}};
        for (const auto &[button, tip] : tips) {
            // The play button's tip goes on to say how Space and Return differ.
            QCOMPARE(button->toolTip().section(QLatin1Char('\n'), 0, 0), tip);
            QCOMPARE(button->icon().isNull(), bool(qobject_cast<QRadioButton *>(button)));
            if (button != v.playPauseButton && button != v.settingsButton)
                QCOMPARE(button->findChild<QShortcut *>()->key().toString(),
                         tip.section(QLatin1Char(' '), 0, 0));
        }
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
