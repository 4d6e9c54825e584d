#include "orvello.h"
#include "settingsstore.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QLCDNumber>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace
{
// Codes the calculator sends, collected on the test's thread: the receiver
// context makes the connection queued, so nothing is touched across threads.
struct CodeLog : QObject {
    QList<int> types;
    QStringList codes;
    explicit CodeLog(TimecodeCalculator *calculator)
    {
        connect(calculator, &TimecodeCalculator::signalSendTimecodeTimeOut, this,
                [this](quint8 h, quint8 m, quint8 s, quint8 f, quint8 type) {
                    types << type;
                    codes << QString::asprintf("%02d:%02d:%02d:%02d", h, m, s, f);
                });
    }
};

QColor buttonColour(const QWidget *button)
{
    return button->palette().color(QPalette::Button);
}

SettingStructItem place(int start, int end, bool exitAtEnd)
{
    SettingStructItem item;
    item.StartHour = quint8(start / 3600);
    item.StartMinute = quint8(start / 60 % 60);
    item.StartSecond = quint8(start % 60);
    item.EndHour = quint8(end / 3600);
    item.EndMinute = quint8(end / 60 % 60);
    item.EndSecond = quint8(end % 60);
    item.ExitAtEnd = exitAtEnd;
    return item;
}

constexpr int NoEnd = 23 * 3600 + 59 * 60 + 59;
} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void startsPausedWithDashes();
    void spaceStartsAndPauses();
    void freezeAndResetShortcuts();
    void formatShortcutsReachTheCalculator_data();
    void formatShortcutsReachTheCalculator();
    void placeShortcutsSelectPlaces_data();
    void placeShortcutsSelectPlaces();
    void placeLooks_data();
    void placeLooks();
    void blinking_data();
    void blinking();
    void blinkStepsToggleTheDisplay();
    void displayText_data();
    void displayText();
    void labelFontFollowsTheWindow();
    void lcdDisplayKeepsItsFont();
    void contextMenuActionsInOrder();
    void newSettingsShortcutResetsRecordOnly();
    void applySettingsSavesAndClearsSelection();
    void playlistCodes_data();
    void playlistCodes();
    void playlistExitClosesTheWindow();
    void commandLineFormatPlaceAndProtocols();
    void storedFormatIsCheckedAndHandedOver();
    void invalidStoredFormatChecksNothing();
    void versionAndLinkLabels();

private:
    Orvello *open(const QStringList &args = {});
    void seed(const QString &key, const QVariant &value);
    void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    void waitForGreen(const QWidget *button);

    QTemporaryDir m_dir;
    QString m_store;
    Orvello *m_window = nullptr;
};

void TestMainWindow::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_store = m_dir.filePath(QStringLiteral("store.conf"));
}

void TestMainWindow::init()
{
    // Any framework warning is a fault, except the offscreen platform's notes
    // on what it cannot do (raise a menu, grab the keyboard).
    QTest::failOnWarning(QRegularExpression(QStringLiteral("^(?!This plugin does not support "
                                                           "(raise|grabbing)).*")));
    QFile::remove(m_store);
    SettingsStore::useFile(m_store);
}

void TestMainWindow::cleanup()
{
    delete m_window;
    m_window = nullptr;
}

Orvello *TestMainWindow::open(const QStringList &args)
{
    delete m_window;
    m_window = new Orvello(QStringList{QStringLiteral("orvello")} + args);
    m_window->show();
    QApplication::setActiveWindow(m_window);
    if (!QTest::qWaitForWindowActive(m_window))
        qWarning("window did not become active");
    return m_window;
}

void TestMainWindow::seed(const QString &key, const QVariant &value)
{
    SettingsStore::open()->setValue(key, value);
}

void TestMainWindow::press(int key, Qt::KeyboardModifiers modifiers)
{
    QTest::keyClick(m_window, Qt::Key(key), modifiers);
}

void TestMainWindow::waitForGreen(const QWidget *button)
{
    QTRY_COMPARE_WITH_TIMEOUT(buttonColour(button), QColor(0, 255, 0), 3000);
}

void TestMainWindow::startsPausedWithDashes()
{
    Orvello *w = open();
    QCOMPARE(w->windowTitle(), QStringLiteral("Orvello"));
    QVERIFY(!w->windowIcon().isNull());
    QCOMPARE(w->view().displayText(), QStringLiteral("--:--:--:--"));
    QVERIFY(w->view().playPauseButton->isChecked());
    QVERIFY(w->isPaused());
    QVERIFY(w->blinkTimer() && w->blinkTimer()->isActive());
    QCOMPARE(w->blinkTimer()->interval(), 400);
    QTRY_COMPARE(w->runningWorkerThreads(), 3);
    QTest::qWait(200); // paused: nothing may reach the display
    QCOMPARE(w->view().displayText(), QStringLiteral("--:--:--:--"));
    const QColor normal = w->view().normalColour;
    QCOMPARE(buttonColour(w->view().systemTimeButton), normal);
    for (const QPushButton *b : w->view().placeButtons)
        QCOMPARE(buttonColour(b), normal);
}

void TestMainWindow::spaceStartsAndPauses()
{
    Orvello *w = open();
    CodeLog log(w->calculator());
    press(Qt::Key_Space);
    QTRY_VERIFY_WITH_TIMEOUT(!w->isPaused(), 3000);
    QVERIFY(!w->view().playPauseButton->isChecked());
    QVERIFY(!w->blinkTimer()->isActive());
    QVERIFY(w->isDisplayShown());
    // Before any place the counter runs from the reset instant.
    QTRY_VERIFY_WITH_TIMEOUT(w->view().displayText().startsWith(QLatin1String("00:00:0")), 3000);
    QTRY_VERIFY(log.codes.size() > 3);

    press(Qt::Key_Space);
    QTRY_VERIFY_WITH_TIMEOUT(w->isPaused(), 3000);
    QVERIFY(w->view().playPauseButton->isChecked());
    QCOMPARE(w->blinkTimer()->interval(), 400);
    QTest::qWait(100);
    const QString held = w->view().displayText();
    const int sent = log.codes.size();
    QTest::qWait(200);
    QCOMPARE(w->view().displayText(), held);
    QCOMPARE(log.codes.size(), sent);
}

void TestMainWindow::freezeAndResetShortcuts()
{
    Orvello *w = open();
    press(Qt::Key_F, Qt::ControlModifier);
    QTRY_VERIFY_WITH_TIMEOUT(w->isFrozen(), 3000);
    QVERIFY(w->view().freezeButton->isChecked());
    QCOMPARE(w->blinkTimer()->interval(), 200);

    press(Qt::Key_1, Qt::ControlModifier);
    waitForGreen(w->view().placeButtons[0]);
    press(Qt::Key_R, Qt::ControlModifier);
    // The reset answer removes the green even though the place stays watched.
    QTRY_COMPARE_WITH_TIMEOUT(buttonColour(w->view().placeButtons[0]), w->view().normalColour,
                              3000);

    press(Qt::Key_F, Qt::ControlModifier);
    QTRY_VERIFY_WITH_TIMEOUT(!w->isFrozen(), 3000);
    QTRY_VERIFY(!w->blinkTimer()->isActive()); // place selection started it running
}

void TestMainWindow::formatShortcutsReachTheCalculator_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("lastFrame");
    QTest::newRow("Ctrl+Alt+1 24 FPS") << int(Qt::Key_1) << 0 << 23;
    QTest::newRow("Ctrl+Alt+2 25 FPS") << int(Qt::Key_2) << 1 << 24;
    QTest::newRow("Ctrl+Alt+3 30 Drop") << int(Qt::Key_3) << 2 << 29;
    QTest::newRow("Ctrl+Alt+4 30 FPS") << int(Qt::Key_4) << 3 << 29;
}

void TestMainWindow::formatShortcutsReachTheCalculator()
{
    QFETCH(int, key);
    QFETCH(int, format);
    QFETCH(int, lastFrame);
    // Start from another format, so the check below is the shortcut's doing.
    Orvello *w = open({format == 3 ? QStringLiteral("24fps") : QStringLiteral("30fps")});
    CodeLog log(w->calculator());
    press(Qt::Key_0, Qt::ControlModifier); // system time runs at once
    QTRY_VERIFY_WITH_TIMEOUT(!log.types.isEmpty(), 3000);
    QVERIFY(log.types.last() != format);

    press(key, Qt::ControlModifier | Qt::AltModifier);
    QTRY_VERIFY_WITH_TIMEOUT(w->view().formatGroup->checkedId() == format, 3000);
    QTRY_COMPARE_WITH_TIMEOUT(log.types.last(), format, 3000);
    // Run past a second boundary: frames stay inside the format's range.
    log.codes.clear();
    QTest::qWait(1100);
    int highest = 0;
    for (const QString &code : std::as_const(log.codes))
        highest = qMax(highest, code.section(QLatin1Char(':'), 3).toInt());
    QVERIFY2(highest <= lastFrame && highest >= lastFrame - 2, qPrintable(log.codes.join(' ')));
}

void TestMainWindow::placeShortcutsSelectPlaces_data()
{
    QTest::addColumn<int>("digit");
    for (int d = 0; d <= 9; ++d)
        QTest::newRow(qPrintable(QStringLiteral("Ctrl+%1").arg(d))) << d;
}

void TestMainWindow::placeShortcutsSelectPlaces()
{
    QFETCH(int, digit);
    // Every place starts one minute further on, so the code shows which one ran.
    for (int i = 0; i < 9; ++i)
        seed(QStringLiteral("start_minute_%1").arg(i), i + 1);
    Orvello *w = open();
    CodeLog log(w->calculator());
    press(Qt::Key_0 + digit, Qt::ControlModifier);
    const QPushButton *button =
        digit == 0 ? w->view().systemTimeButton : w->view().placeButtons[digit - 1];
    waitForGreen(button);
    QTRY_VERIFY_WITH_TIMEOUT(!log.codes.isEmpty(), 3000);
    if (digit > 0)
        QVERIFY2(log.codes.first().startsWith(
                     QStringLiteral("00:%1:00:").arg(digit, 2, 10, QLatin1Char('0'))),
                 qPrintable(log.codes.first()));
    QVERIFY(!w->isPaused());
    // Exactly one button is green.
    int green = buttonColour(w->view().systemTimeButton) == QColor(0, 255, 0);
    for (const QPushButton *b : w->view().placeButtons)
        green += buttonColour(b) == QColor(0, 255, 0);
    QCOMPARE(green, 1);
}

void TestMainWindow::placeLooks_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");
    QTest::addColumn<bool>("exitAtEnd");
    QTest::addColumn<QString>("toolTip");
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<QString>("icon");
    QTest::newRow("neither") << 0 << NoEnd << true << "Ctrl+3 - Start Code 00:00:00" << QColor()
                             << QString();
    QTest::newRow("start only, exit flag not mentioned")
        << 3 * 3600 + 4 * 60 + 5 << NoEnd << true << "Ctrl+3 - Start Code 03:04:05"
        << QColor(255, 172, 0) << ":/images/timecode_start.xpm";
    QTest::newRow("end only with exit")
        << 0 << 600 << true
        << "Ctrl+3 - Start Code 00:00:00 - Stop Code 00:10:00 - and exits software"
        << QColor(205, 128, 0) << ":/images/timecode_end.xpm";
    QTest::newRow("start and end")
        << 10 << 12 << false << "Ctrl+3 - Start Code 00:00:10 - Stop Code 00:00:12"
        << QColor(255, 128, 0) << ":/images/timecode_start_end.xpm";
}

void TestMainWindow::placeLooks()
{
    QFETCH(int, start);
    QFETCH(int, end);
    QFETCH(bool, exitAtEnd);
    QFETCH(QString, toolTip);
    QFETCH(QColor, colour);
    QFETCH(QString, icon);
    Orvello *w = open();
    QPushButton *button = w->view().placeButtons[2];
    QCOMPARE(button->toolTip(), QStringLiteral("Ctrl+3 - Start Code 00:00:00"));
    w->settings().places[2] = place(start, end, exitAtEnd);
    w->applySettings();

    QCOMPARE(button->toolTip(), toolTip);
    QCOMPARE(buttonColour(button), colour.isValid() ? colour : w->view().normalColour);
    QCOMPARE(button->icon().isNull(), icon.isEmpty());
    if (!icon.isEmpty()) {
        const QImage expected = QIcon(icon).pixmap(24).toImage();
        QVERIFY(!expected.isNull());
        QCOMPARE(button->icon().pixmap(24).toImage(), expected);
    }
    // Selected, any kind is green; after a reset it has its own colour again.
    press(Qt::Key_3, Qt::ControlModifier);
    waitForGreen(button);
    w->slotChangedTimeReset();
    QCOMPARE(buttonColour(button), colour.isValid() ? colour : w->view().normalColour);
}

void TestMainWindow::blinking_data()
{
    QTest::addColumn<bool>("pause");
    QTest::addColumn<bool>("freeze");
    QTest::addColumn<int>("interval"); // 0: steady
    QTest::newRow("paused") << true << false << 400;
    QTest::newRow("frozen") << false << true << 200;
    QTest::newRow("frozen and paused") << true << true << 200;
    QTest::newRow("running") << false << false << 0;
}

void TestMainWindow::blinking()
{
    QFETCH(bool, pause);
    QFETCH(bool, freeze);
    QFETCH(int, interval);
    Orvello *w = open();
    w->slotBlinkTimecode(pause, freeze);
    QCOMPARE(w->isPaused(), pause);
    QCOMPARE(w->isFrozen(), freeze);
    QCOMPARE(w->blinkTimer()->isActive(), interval != 0);
    if (interval) {
        QCOMPARE(w->blinkTimer()->interval(), interval);
    } else {
        QVERIFY(w->isDisplayShown());
        QVERIFY(w->view().display()->isEnabled());
        QTest::qWait(500);
        QVERIFY(w->view().display()->isEnabled());
    }
    // Unfreezing while paused falls back to the slow blink.
    w->slotBlinkTimecode(true, false);
    QCOMPARE(w->blinkTimer()->interval(), 400);
}

void TestMainWindow::blinkStepsToggleTheDisplay()
{
    Orvello *w = open();
    QWidget *display = w->view().display();
    const bool before = display->isEnabled();
    QTRY_COMPARE_WITH_TIMEOUT(display->isEnabled(), !before, 1000);
    QTRY_COMPARE_WITH_TIMEOUT(display->isEnabled(), before, 1000);
    w->slotBlinkingTimecode(true);
    QVERIFY(display->isEnabled());
    w->slotBlinkingTimecode();
    QVERIFY(!display->isEnabled());
}

void TestMainWindow::displayText_data()
{
    QTest::addColumn<int>("h");
    QTest::addColumn<int>("m");
    QTest::addColumn<int>("s");
    QTest::addColumn<int>("f");
    QTest::addColumn<QString>("text");
    QTest::newRow("single digits") << 1 << 2 << 3 << 4 << "01:02:03:04";
    QTest::newRow("largest") << 23 << 59 << 59 << 29 << "23:59:59:29";
    QTest::newRow("zero") << 0 << 0 << 0 << 0 << "00:00:00:00";
    QTest::newRow("nine and ten") << 9 << 10 << 9 << 10 << "09:10:09:10";
}

void TestMainWindow::displayText()
{
    QFETCH(int, h);
    QFETCH(int, m);
    QFETCH(int, s);
    QFETCH(int, f);
    QFETCH(QString, text);
    Orvello *w = open();
    for (quint8 type = 0; type < 4; ++type) {
        w->slotSendTimecodeTimeOut(quint8(h), quint8(m), quint8(s), quint8(f), type);
        QCOMPARE(w->view().displayText(), text);
        QCOMPARE(w->view().label->text(), text);
    }
}

void TestMainWindow::labelFontFollowsTheWindow()
{
    Orvello *w = open();
    QLabel *label = w->view().label;
    QVERIFY(label && !w->view().lcd);
    QVERIFY(label->font().bold());
    const auto check = [label]() {
        const int n = label->font().pointSize();
        QVERIFY(n >= 22);
        const int H = 2 * label->height() / 3, W = 2 * label->width() / 3;
        const auto fits = [&](int size) {
            const QFontMetrics fm(QFont(label->font().family(), size, QFont::Bold));
            return fm.height() < H && fm.horizontalAdvance(label->text()) < W;
        };
        if (n > 22)
            QVERIFY(fits(n));
        QVERIFY(!fits(n + 1));
    };
    w->resize(800, 600);
    QTRY_COMPARE(label->width() > 600, true);
    check();
    const int big = label->font().pointSize();
    QVERIFY2(big > 40, qPrintable(QString::number(big)));
    w->resize(w->minimumSize());
    QTRY_VERIFY(label->font().pointSize() < big);
    check();
    // Back to where it started: the grown font did not raise the minimum.
    QCOMPARE(label->font().pointSize(), 22);
}

void TestMainWindow::lcdDisplayKeepsItsFont()
{
    seed(QStringLiteral("UseLcd"), true);
    Orvello *w = open();
    QLCDNumber *lcd = w->view().lcd;
    QVERIFY(lcd && !w->view().label);
    QCOMPARE(lcd->digitCount(), 11);
    QCOMPARE(lcd->segmentStyle(), QLCDNumber::Flat);
    QCOMPARE(lcd->frameShape(), QFrame::NoFrame);
    const QFont font = lcd->font();
    w->resize(800, 600);
    QTest::qWait(50);
    QCOMPARE(lcd->font(), font);
    w->slotSendTimecodeTimeOut(1, 2, 3, 4, 1);
    QCOMPARE(w->view().displayText(), QStringLiteral("01:02:03:04"));
    // The LCD blinks like the label.
    w->slotBlinkingTimecode(true);
    QVERIFY(lcd->isEnabled());
    w->slotBlinkingTimecode();
    QVERIFY(!lcd->isEnabled());
}

void TestMainWindow::contextMenuActionsInOrder()
{
    Orvello *w = open();
    const QStringList texts{"New Settings",       "Import Settings",   "Export Settings",
                            "Edit Configuration", "Check for Updates", "Help...",
                            "About Orvello...",   "About Qt...",       "Quit"};
    const QStringList keys{"Ctrl+N", "Ctrl+L", "Ctrl+S", "Ctrl+E", "Ctrl+U",
                           "F1",     "",       "",       "Ctrl+Q"};
    const QStringList tips{"Ctrl+N New Configuration",
                           "Ctrl+L Import Configuration",
                           "Ctrl+S Export Configuration",
                           "Ctrl+E Edit Configuration",
                           "checks if a newer software version is available online",
                           "opens the Help",
                           "opens the About window",
                           "opens the About Qt window",
                           ""};
    const QList<QAction *> menuActions = w->view().menu->actions();
    QCOMPARE(menuActions.size(), texts.size());
    QCOMPARE(w->actions(), menuActions); // also on the window, for the shortcuts
    for (int i = 0; i < texts.size(); ++i) {
        QCOMPARE(menuActions[i]->text(), texts[i]);
        QCOMPARE(menuActions[i]->shortcut().toString(), keys[i]);
        QCOMPARE(menuActions[i]->statusTip(), tips[i]);
        QCOMPARE(menuActions[i]->icon().isNull(), i == 6 || i == 7);
    }
    QCOMPARE(menuActions[8]->toolTip(), QStringLiteral("exits this software"));

    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), w->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(w, &event);
    QVERIFY(event.isAccepted());
    QTRY_VERIFY(w->view().menu->isVisible());
    w->view().menu->hide();
}

void TestMainWindow::newSettingsShortcutResetsRecordOnly()
{
    seed(QStringLiteral("start_second_0"), 5);
    seed(QStringLiteral("start_seconds_0"), 5);
    Orvello *w = open();
    QCOMPARE(w->settings().places[0].StartSecond, quint8(5));
    press(Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(w->settings().places[0].StartSecond, quint8(0));
    // Nothing saved or redrawn until settings are applied.
    QCOMPARE(SettingsStore::open()->value(QStringLiteral("start_seconds_0")).toInt(), 5);
    QCOMPARE(buttonColour(w->view().placeButtons[0]), QColor(255, 172, 0));
    // But a click now hands the defaults to the calculator.
    CodeLog log(w->calculator());
    press(Qt::Key_1, Qt::ControlModifier);
    QTRY_VERIFY_WITH_TIMEOUT(!log.codes.isEmpty(), 3000);
    QVERIFY2(log.codes.first().startsWith(QLatin1String("00:00:00:")), qPrintable(log.codes[0]));
}

void TestMainWindow::applySettingsSavesAndClearsSelection()
{
    Orvello *w = open();
    press(Qt::Key_2, Qt::ControlModifier);
    waitForGreen(w->view().placeButtons[1]);
    w->settings().places[1] = place(0, 30, false);
    w->settings().midi_protocol_on = false;
    w->applySettings();
    QCOMPARE(buttonColour(w->view().placeButtons[1]), QColor(205, 128, 0));
    const auto store = SettingsStore::open();
    QCOMPARE(store->value(QStringLiteral("end_minute_1")).toInt(), 0);
    QCOMPARE(store->value(QStringLiteral("end_seconds_1")).toInt(), 30);
    QCOMPARE(store->value(QStringLiteral("midi_protocol_on")).toInt(), 0);
}

void TestMainWindow::playlistCodes_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("button"); // -1 none, 0 system time, 1..9 places
    QTest::newRow("system time") << -3 << 0;
    QTest::newRow("place 1") << 1 << 1;
    QTest::newRow("place 9") << 9 << 9;
    QTest::newRow("none") << -1 << -1;
    QTest::newRow("zero") << 0 << -1;
    QTest::newRow("below -3") << -4 << -1;
    QTest::newRow("10") << 10 << -1;
}

void TestMainWindow::playlistCodes()
{
    QFETCH(int, code);
    QFETCH(int, button);
    Orvello *w = open();
    w->slotActivatedPlaylistItem(code);
    if (button >= 0) {
        waitForGreen(button == 0 ? w->view().systemTimeButton : w->view().placeButtons[button - 1]);
        QVERIFY(!w->isPaused());
    } else {
        QTest::qWait(150);
        QVERIFY(w->isPaused());
        QCOMPARE(buttonColour(w->view().systemTimeButton), w->view().normalColour);
    }
    QVERIFY(w->isVisible());
}

void TestMainWindow::playlistExitClosesTheWindow()
{
    Orvello *w = open();
    QTRY_COMPARE(w->runningWorkerThreads(), 3);
    w->slotActivatedPlaylistItem(-2);
    QVERIFY(!w->isVisible());
    QVERIFY(!w->calculator());
    QTRY_COMPARE_WITH_TIMEOUT(w->runningWorkerThreads(), 0, 2000);
    // A place click after the close has no calculator to go to and is dropped.
    w->slotClickedFile(3);
}

void TestMainWindow::commandLineFormatPlaceAndProtocols()
{
    seed(QStringLiteral("start_hour_1"), 2);
    Orvello *w = open({"30drop", "p2", "noartnet", "nomidi"});
    CodeLog log(w->calculator());
    QCOMPARE(w->view().formatGroup->checkedId(), 2);
    QCOMPARE(w->settings().artnet_protocol_on, false);
    QCOMPARE(w->settings().midi_protocol_on, false);
    waitForGreen(w->view().placeButtons[1]);
    QTRY_VERIFY_WITH_TIMEOUT(!log.codes.isEmpty(), 3000);
    QVERIFY2(log.codes.first().startsWith(QLatin1String("02:00:00:")), qPrintable(log.codes[0]));
    QCOMPARE(log.types.first(), 2); // the generator took the format, not only the button
    delete m_window;
    m_window = nullptr;
    // The value read at start goes back, whatever the command line chose.
    QCOMPARE(SettingsStore::open()->value(QStringLiteral("FrameFormat")), QVariant(0));
}

void TestMainWindow::storedFormatIsCheckedAndHandedOver()
{
    seed(QStringLiteral("FrameFormat"), 1);
    seed(QStringLiteral("artnet_protocol_on"), 0);
    Orvello *w = open({"artnet"});
    QCOMPARE(w->settings().artnet_protocol_on, true);
    QCOMPARE(w->settings().midi_protocol_on, true);
    CodeLog log(w->calculator());
    QCOMPARE(w->view().formatGroup->checkedId(), 1);
    w->slotClickedFile(-3);
    QTRY_VERIFY_WITH_TIMEOUT(!log.types.isEmpty(), 3000);
    QCOMPARE(log.types.first(), 1);
    delete m_window;
    m_window = nullptr;
    const auto store = SettingsStore::open();
    QCOMPARE(store->value(QStringLiteral("FrameFormat")).toInt(), 1);
    QVERIFY(store->contains(QStringLiteral("MidiTimecodeType")));
    QVERIFY(store->contains(QStringLiteral("MidiInterfaceName")));
    QVERIFY(!store->contains(QStringLiteral("UseLcd")));
}

void TestMainWindow::invalidStoredFormatChecksNothing()
{
    seed(QStringLiteral("FrameFormat"), 7);
    Orvello *w = open();
    CodeLog log(w->calculator());
    QCOMPARE(w->view().formatGroup->checkedId(), -1);
    w->slotClickedFile(-3);
    QTRY_VERIFY_WITH_TIMEOUT(!log.types.isEmpty(), 3000);
    QCOMPARE(log.types.first(), 0); // a Type byte no receiver knows is never sent
}

void TestMainWindow::versionAndLinkLabels()
{
    Orvello *w = open();
    QCOMPARE(w->view().versionLabel->text(), QStringLiteral("Orvello v2.0.0.1"));
    QLabel *link = w->view().linkLabel;
    QCOMPARE(link->textFormat(), Qt::RichText);
    QVERIFY(link->openExternalLinks());
    QCOMPARE(link->toolTip(),
             QStringLiteral("Visit the homepage to access software updates and the help."));
    QCOMPARE(link->text(), QStringLiteral("<a href=\"https://www.orvello.example/update_view.php?"
                                          "software=artnetorvello&amp;currentversion=2.0.0.1\">"
                                          "www.orvello.example</a>"));
    const QList<std::pair<QAbstractButton *, QString>> tips{
        {w->view().fps24, "Ctrl+Alt+1 - sending with 24 frames"},
        {w->view().fps25, "Ctrl+Alt+2 - sending with 25 frames"},
        {w->view().fps30Drop, "Ctrl+Alt+3 - sending with 30 dropped frames"},
        {w->view().fps30, "Ctrl+Alt+4 - sending with 30 frames"},
        {w->view().resetButton, "Ctrl+R - resets the Start Code"},
        {w->view().freezeButton, "Ctrl+F - freezes the System Time or Start Code"},
        {w->view().playPauseButton, "Space Key - starts/pauses the Start Code"},
        {w->view().settingsButton, "Ctrl+E - opens the settings window"},
        {w->view().systemTimeButton, "Ctrl+0 - initializes Systemtime"},
    };
    for (const auto &[button, tip] : tips) {
        QCOMPARE(button->toolTip(), tip);
        QVERIFY(button == w->view().fps24 || button == w->view().fps25 ||
                button == w->view().fps30Drop || button == w->view().fps30 ||
                !button->icon().isNull());
    }
    QCOMPARE(w->view().fps30Drop->text(), QStringLiteral("30 Drop"));
    QCOMPARE(w->view().systemTimeButton->maximumSize(), QSize(45, 30));
    QCOMPARE(w->view().placeButtons[8]->maximumSize(), QSize(45, 30));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
