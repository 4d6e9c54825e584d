#include "codedisplay.h"
#include "lcddisplay.h"
#include "table.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>

namespace
{
// Collects the regions the display is asked to paint.
struct PaintLog : QObject {
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            regions << static_cast<QPaintEvent *>(event)->region();
        return false;
    }
    QList<QRegion> regions;
};
} // namespace

class TestCodeDisplay : public QObject
{
    Q_OBJECT
private slots:
    // Both kinds of display repaint only the changed characters; the LCD's
    // screen then holds the new code whole (nothing stale, nothing cut).
    void repaintsOnlyWhatChanged_data()
    {
        // repainted: "none", "all" or the changed positions
        Table::columns<bool, QString, QString, QString>("lcd", "from", "to", "repainted");
        for (const bool lcd : {false, true}) {
            const auto row = [lcd](const char *name, const char *from, const char *to,
                                   const char *repainted) {
                QTest::addRow("%s: %s", lcd ? "LCD" : "label", name)
                    << lcd << from << to << repainted;
            };
            row("frame digit", "10:00:00:00", "10:00:00:01", "10");
            row("second and frame", "10:00:09:29", "10:00:10:00", "6,7,9,10");
            row("hour only", "09:59:59:24", "19:59:59:24", "0");
            row("same code", "10:00:00:00", "10:00:00:00", "none");
            // Cells do not move with the glyphs' widths: the LCD's colons stay put.
            row("first code after dashes", "--:--:--:--", "10:00:00:00",
                lcd ? "0,1,3,4,6,7,9,10" : "all");
        }
    }

    void repaintsOnlyWhatChanged()
    {
        const auto [lcd, from, to, repainted] =
            Table::fetch<bool, QString, QString, QString>("lcd", "from", "to", "repainted");
        const QSize size = lcd ? QSize(670, 300) : QSize(700, 150);
        auto *cells = lcd ? new LcdDisplay(11, from) : nullptr;
        auto *label = lcd ? nullptr : new CodeDisplay(from);
        const std::unique_ptr<QWidget> display(lcd ? static_cast<QWidget *>(cells) : label);
        if (label)
            label->setFont(QFont(label->font().family(), 40, QFont::Bold));
        display->resize(size);
        display->show();
        QVERIFY(QTest::qWaitForWindowExposed(display.get()));
        const QSize hint = display->sizeHint();
        PaintLog log;
        display->installEventFilter(&log);
        QTest::qWait(20);
        log.regions.clear();

        lcd ? cells->setText(to) : label->setText(to);
        QCOMPARE(lcd ? cells->text() : label->text(), to);
        QCOMPARE(display->sizeHint(), hint); // a new code never asks for a new layout
        QTest::qWait(50);
        QRegion painted;
        for (const QRegion &r : std::as_const(log.regions))
            painted += r;
        QCOMPARE(painted.isEmpty(), repainted == QLatin1String("none"));
        if (repainted == QLatin1String("all"))
            QCOMPARE(painted.boundingRect(), display->rect());
        if (repainted == QLatin1String("all") || painted.isEmpty())
            return;
        // The label centres the line; the LCD shares the width evenly in cells.
        const QFontMetricsF metrics(display->font());
        const qreal left = (display->width() - metrics.horizontalAdvance(to)) / 2;
        const QList<QString> changed = repainted.split(',');
        for (int i = 0; i < to.size(); ++i) {
            const qreal x = lcd ? display->width() * (2 * i + 1) / 22.0
                                : left + metrics.horizontalAdvance(to.left(i)) +
                                      metrics.horizontalAdvance(to.at(i)) / 2;
            const QPoint centre(int(x), display->height() / 2);
            QVERIFY2(painted.contains(centre) == changed.contains(QString::number(i)),
                     qPrintable(QStringLiteral("character %1").arg(i)));
        }
        if (!lcd)
            return;
        LcdDisplay fresh(11, to);
        fresh.resize(size);
        fresh.show();
        QVERIFY(QTest::qWaitForWindowExposed(&fresh));
        const QImage shown = display->screen()->grabWindow(display->winId()).toImage();
        const QImage expected = fresh.screen()->grabWindow(fresh.winId()).toImage();
        QVERIFY(!shown.isNull() && shown.size() == expected.size());
        QVERIFY(shown == expected);
    }

    // Blinking greys the whole code, not only the last change.
    void disablingRepaintsEverything()
    {
        CodeDisplay display(QStringLiteral("10:00:00:00"));
        display.resize(400, 100);
        display.show();
        QVERIFY(QTest::qWaitForWindowExposed(&display));
        PaintLog log;
        display.installEventFilter(&log);
        display.setEnabled(false);
        QTRY_VERIFY(!log.regions.isEmpty());
        QCOMPARE(log.regions.last().boundingRect(), display.rect());
    }
};

QTEST_MAIN(TestCodeDisplay)
#include "tst_codedisplay.moc"
