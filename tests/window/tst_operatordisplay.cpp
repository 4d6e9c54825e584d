#include "clockdigits.h"
#include "fullscreenclock.h"
#include "orvello.h"
#include "privatenetwork.h"
#include "statusfactsview.h"
#include "table.h"
#include "windowfixture.h"

#include <QAccessible>
#include <QtTest>
#include <QtWidgets>

namespace
{
// Pixels whose grey level differs by more than a faint tint.
int differingPixels(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return -1;
    int count = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            count += qAbs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y))) > 40;
    return count;
}

int darkPixels(const QImage &image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += qGray(image.pixel(x, y)) < 80;
    return count;
}

int perimeter(const QWidget *w)
{
    return 2 * (w->width() + w->height());
}

// Every focusable, visible accessible object below `root` that has no name.
void collectNameless(QAccessibleInterface *iface, QStringList &nameless, int depth = 0)
{
    if (!iface || depth > 40)
        return;
    const QAccessible::State state = iface->state();
    if (state.invisible)
        return;
    if (state.focusable && iface->text(QAccessible::Name).trimmed().isEmpty()) {
        // A table's cell has no object of its own: named by its table.
        QAccessibleInterface *owner = iface;
        while (owner && !owner->object())
            owner = owner->parent();
        const QObject *o = owner ? owner->object() : nullptr;
        nameless << QStringLiteral("%1 \"%2\" role %3")
                        .arg(o ? QLatin1String(o->metaObject()->className()) : QLatin1String("?"),
                             o ? o->objectName() : QString())
                        .arg(int(iface->role()), 0, 16);
    }
    for (int i = 0; i < iface->childCount(); ++i)
        collectNameless(iface->child(i), nameless, depth + 1);
}

QStringList namelessControls(QWidget *window)
{
    QStringList nameless;
    collectNameless(QAccessible::queryAccessibleInterface(window), nameless);
    return nameless;
}
} // namespace

class TestOperatorDisplay : public QObject
{
    Q_OBJECT
    WindowFixture m_fixture;

    Orvello *open(const QStringList &args = {}) { return m_fixture.open(args); }
    // As a user types: to whatever has the focus.
    static void type(const QKeySequence &keys)
    {
        for (int i = 0; i < keys.count(); ++i) {
            QWidget *focus = QApplication::focusWidget();
            QVERIFY(focus);
            QTest::keyClick(focus, keys[i].key(), keys[i].keyboardModifiers());
        }
    }
    FullscreenClock *enterClock(Orvello *w)
    {
        type(QKeySequence(Qt::Key_F11));
        FullscreenClock *clock = w->fullscreenClock();
        if (!QTest::qWaitForWindowActive(clock))
            qWarning("clock did not become active");
        return clock;
    }

private slots:
    void initTestCase() { REQUIRE_PRIVATE_NETWORK(); }
    void init() { m_fixture.freshStore(); }
    void cleanup() { m_fixture.close(); }

    // The same key strokes give the same words beside the display and on the
    // clock, typed in either window; the clock is framed red unless running.
    void stateInWords_data()
    {
        Table::columns<QString, bool, QString>("keys", "inClock", "state");
        for (const bool inClock : {false, true}) {
            const char *where = inClock ? "in the clock" : "in the window";
            QTest::addRow("start, %s", where) << "" << inClock << "PAUSED";
            QTest::addRow("play, %s", where) << "Space" << inClock << "RUNNING";
            QTest::addRow("freeze running, %s", where) << "Space, Ctrl+F" << inClock << "FROZEN";
            QTest::addRow("freeze paused, %s", where) << "Ctrl+F" << inClock << "FROZEN";
            QTest::addRow("unfreeze, %s", where) << "Ctrl+F, Ctrl+F" << inClock << "PAUSED";
        }
    }
    void stateInWords()
    {
        const auto [keys, inClock, state] =
            Table::fetch<QString, bool, QString>("keys", "inClock", "state");
        Orvello *w = open();
        FullscreenClock *clock = inClock ? enterClock(w) : w->fullscreenClock();
        QCOMPARE(clock->isVisible(), inClock);
        QCOMPARE(w->view().stateLabel->text(), QStringLiteral("PAUSED"));
        type(QKeySequence(keys));
        QTRY_COMPARE_WITH_TIMEOUT(w->view().stateLabel->text(), state, 3000);
        QCOMPARE(clock->stateLabel()->text(), state);
        QCOMPARE(clock->isFramed(), state != QLatin1String("RUNNING"));
        QCOMPARE(clock->isVisible(), inClock); // no key of these leaves it
    }

    // What runs stays named after OK in the settings takes the green away.
    void sourceInWords()
    {
        Orvello *w = open();
        w->settings().places[2] = {1, 0, 0, 1, 20, 0, 0};
        w->settings().places[4] = {2, 0, 0, 23, 59, 59, 0};
        FullscreenClock *clock = enterClock(w);
        QCOMPARE(w->view().sourceLabel->text(), QStringLiteral("No place"));
        const QList<std::pair<QKeySequence, QString>> steps{
            {QKeySequence(QStringLiteral("Ctrl+3")), "Place 3  01:00:00 to 01:20:00"},
            {QKeySequence(QStringLiteral("Ctrl+5")), "Place 5  from 02:00:00"},
            {QKeySequence(QStringLiteral("Ctrl+0")), "System time"},
            {QKeySequence(QStringLiteral("Ctrl+3")), "Place 3  01:00:00 to 01:20:00"}};
        for (const auto &[key, words] : steps) {
            type(key);
            QTRY_COMPARE_WITH_TIMEOUT(w->view().sourceLabel->text(), words, 3000);
            QCOMPARE(clock->sourceLabel()->text(), words);
            // Wrapped or not, the words never lie over the code.
            QTRY_VERIFY(
                !w->view().sourceLabel->geometry().intersects(w->view().display()->geometry()));
        }
        type(QKeySequence(QStringLiteral("Ctrl+Alt+2")));
        QTRY_COMPARE(clock->formatLabel()->text(), QStringLiteral("25 fps"));
        QTRY_COMPARE(clock->stateLabel()->text(), QStringLiteral("RUNNING"));
        // The places run as edited, applied or not.
        QTRY_VERIFY(clock->digits()->text().startsWith(QLatin1String("01:0")));

        // Edited after the click: the words keep the range that runs.
        w->settings().places[2].EndMinute = 30;
        w->applySettings();
        QVERIFY(!w->view().placeButtons[2]->isSelected());
        QCOMPARE(w->view().sourceLabel->text(), QStringLiteral("Place 3  01:00:00 to 01:20:00"));
        QCOMPARE(w->view().stateLabel->text(), QStringLiteral("RUNNING"));
    }

    void clockOnAndOff()
    {
        Orvello *w = open({QStringLiteral("fullscreen")});
        FullscreenClock *clock = w->fullscreenClock();
        QTRY_VERIFY_WITH_TIMEOUT(clock->isVisible(), 3000);
        QVERIFY(w->view().actionFullscreen->isChecked() && clock->isFullScreen());
        QVERIFY(QTest::qWaitForWindowActive(clock));
        // The codes reach the clock; the window's own display rests meanwhile.
        type(QKeySequence(Qt::Key_Space));
        QTRY_VERIFY_WITH_TIMEOUT(clock->digits()->text().startsWith(QLatin1String("00:00:0")),
                                 3000);
        QVERIFY(!w->view().display()->updatesEnabled());

        QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, QPoint(5, 5),
                                    clock->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(clock, &menuEvent);
        QTRY_VERIFY(w->view().menu->isVisible());
        w->view().menu->hide();

        for (const int leave : {int(Qt::Key_Escape), int(Qt::Key_F11)}) {
            QVERIFY(QTest::qWaitForWindowActive(clock));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key(leave));
            QTRY_VERIFY(!clock->isVisible());
            QVERIFY(!w->view().actionFullscreen->isChecked());
            QVERIFY(w->view().display()->updatesEnabled());
            w->view().actionFullscreen->trigger(); // the menu's way in
            QTRY_VERIFY(clock->isVisible());
        }
        // A window opened from the clock would hide behind it.
        w->view().actionEdit->trigger();
        QTRY_VERIFY(!clock->isVisible());
        QVERIFY(w->settingsWindow());
    }

    // Digits at least a quarter of the screen's height, the code whole and
    // nearly as wide as the screen, every line within the screen.
    void clockFillsTheScreen_data()
    {
        QTest::addColumn<QSize>("screen");
        for (const QSize size : {QSize(1920, 1080), QSize(1024, 768), QSize(3840, 2160)})
            QTest::addRow("%dx%d", size.width(), size.height()) << size;
    }
    void clockFillsTheScreen()
    {
        QFETCH(QSize, screen);
        FullscreenClock clock;
        TransportState transport;
        transport.source = TransportState::Source::Place;
        transport.place = 8;
        transport.range = {23, 59, 59, 23, 59, 58, 0};
        transport.format = Frame30Drop;
        clock.showTransport(transport);
        clock.showCode(QStringLiteral("23:59:59:29"));
        clock.resize(screen);
        clock.show();
        QVERIFY(QTest::qWaitForWindowExposed(&clock));
        QTRY_COMPARE(clock.size(), screen);
        const ClockDigits *digits = clock.digits();
        QVERIFY2(digits->digitHeight() * 4 >= screen.height(),
                 qPrintable(QString::number(digits->digitHeight())));
        const QRect code = digits->codeRect();
        QVERIFY(digits->rect().contains(code));
        QVERIFY(code.width() >= screen.width() * 0.85);
        for (const QLabel *line : {clock.stateLabel(), clock.sourceLabel(), clock.formatLabel()}) {
            QVERIFY(!line->text().isEmpty());
            QVERIFY(line->fontMetrics().horizontalAdvance(line->text()) <= line->width());
            QVERIFY(clock.rect().contains(line->geometry()));
        }
    }

    // Selected shows by a shape as well as by green: in grey alone the
    // selected place has a dark frame its unselected neighbour lacks.
    void selectionNotByColourAlone()
    {
        Orvello *w = open();
        w->settings().places[2] = {1, 0, 0, 1, 20, 0, 0};
        w->settings().places[3] = w->settings().places[2];
        w->applySettings();
        type(QKeySequence(QStringLiteral("Ctrl+3")));
        PlaceButton *selected = w->view().placeButtons[2];
        PlaceButton *other = w->view().placeButtons[3];
        QTRY_VERIFY_WITH_TIMEOUT(selected->isSelected(), 3000);
        QVERIFY(selected->font().bold() && !other->font().bold());
        int selectedCount = 0;
        for (const PlaceButton *b : w->view().placeButtons)
            selectedCount += b->isSelected();
        QCOMPARE(selectedCount + w->view().systemTimeButton->isSelected(), 1);
        const int framed = darkPixels(selected->grab().toImage());
        const int plain = darkPixels(other->grab().toImage());
        QVERIFY2(framed - plain >= perimeter(selected),
                 qPrintable(QStringLiteral("%1 against %2").arg(framed).arg(plain)));
    }

    void everyControlHasAName()
    {
        Orvello *w = open();
        QStringList nameless = namelessControls(w);
        enterClock(w);
        nameless += namelessControls(w->fullscreenClock());
        w->view().actionEdit->trigger();
        QTRY_VERIFY(w->settingsWindow());
        Settings *settings = w->settingsWindow();
        auto *tabs = settings->findChild<QTabWidget *>();
        for (int page = 0; page < (tabs ? tabs->count() : 1); ++page) {
            if (tabs)
                tabs->setCurrentIndex(page);
            nameless += namelessControls(settings);
        }
        nameless.removeDuplicates();
        QVERIFY2(nameless.isEmpty(), qPrintable(nameless.join(QStringLiteral(", "))));
    }

    // Four long facts, one with a word longer than a line: each is shown
    // whole at the default and at the least size of the window.
    void statusFactsNeverClip()
    {
        Orvello *w = open();
        auto *view = w->findChild<StatusFactsView *>();
        QVERIFY(view);
        const QString sentence = QStringLiteral("Art-Net to 10.77.0.255 192.168.77.255 "
                                                "172.16.200.255 10.200.200.255, frames sent ");
        view->showFacts(
            {{StatusFact::Artnet, sentence.repeated(3), false, {}},
             {StatusFact::Midi, QStringLiteral("MIDI port busy: ") + sentence, true, {}},
             {StatusFact::OtherSource, sentence.repeated(2), false, {}},
             {StatusFact::Store,
              QStringLiteral("Settings unreadable: /home/operator/.config/"
                             "orvello.example/Orvello-show-2026-final.conf"),
              true,
              {}}});
        for (const bool least : {false, true}) {
            if (least)
                w->resize(w->minimumSizeHint().expandedTo(w->minimumSize()));
            QTRY_VERIFY(w->layout()->geometry().isValid());
            QApplication::processEvents();
            for (const QLabel *label : view->findChildren<QLabel *>()) {
                if (label->isHidden())
                    continue;
                const QString where = QStringLiteral("%1 at %2x%3")
                                          .arg(label->objectName())
                                          .arg(w->width())
                                          .arg(w->height());
                QTRY_VERIFY2(label->height() >= label->heightForWidth(label->width()),
                             qPrintable(where));
                QVERIFY2(label->width() >= label->minimumSizeHint().width(), qPrintable(where));
                const QRect inWindow(label->mapTo(w, QPoint(0, 0)), label->size());
                QVERIFY2(w->rect().contains(inWindow), qPrintable(where));
            }
        }
    }

    // Tab reaches every control of the window, each drawn with a ring while
    // it holds the keyboard focus.
    void tabReachesEveryControl()
    {
        Orvello *w = open();
        QList<QWidget *> controls;
        for (QWidget *c : w->centralWidget()->findChildren<QWidget *>())
            if (c->isVisible() && (c->focusPolicy() & Qt::TabFocus))
                controls << c;
        QVERIFY(controls.size() >= 16);
        w->view().resetButton->setFocus(Qt::TabFocusReason);
        // The ring is for keyboard users: it shows once Tab has been pressed.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QList<QWidget *> reached;
        for (int i = 0; i < 3 * controls.size() && reached.size() < controls.size(); ++i) {
            QWidget *focus = QApplication::focusWidget();
            if (controls.contains(focus) && !reached.contains(focus)) {
                reached << focus;
                const QImage ringed = focus->grab().toImage();
                focus->clearFocus();
                const QImage plain = focus->grab().toImage();
                focus->setFocus(Qt::TabFocusReason);
                // A push button's ring goes round it, at least once.
                const int least = qobject_cast<QPushButton *>(focus) ? perimeter(focus) : 1;
                QVERIFY2(differingPixels(ringed, plain) >= least, qPrintable(focus->objectName()));
            }
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QStringList missing;
        for (QWidget *c : controls)
            if (!reached.contains(c))
                missing << c->objectName();
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QStringLiteral(", "))));
    }
};

QTEST_MAIN(TestOperatorDisplay)
#include "tst_operatordisplay.moc"
