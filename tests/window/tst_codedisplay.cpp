#include "codedisplay.h"
#include "lcddisplay.h"

#include <QtTest>
#include <QtWidgets>

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
    void repaintsOnlyWhatChanged_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("repainted"); // "none", "all" or the changed positions
        QTest::newRow("frame digit") << "10:00:00:00"
                                     << "10:00:00:01"
                                     << "10";
        QTest::newRow("second and frame") << "10:00:09:29"
                                          << "10:00:10:00"
                                          << "6,7,9,10";
        QTest::newRow("hour only") << "09:59:59:24"
                                   << "19:59:59:24"
                                   << "0";
        QTest::newRow("same code") << "10:00:00:00"
                                   << "10:00:00:00"
                                   << "none";
        QTest::newRow("first code after dashes") << "--:--:--:--"
                                                 << "10:00:00:00"
                                                 << "all";
    }

    void repaintsOnlyWhatChanged()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, repainted);
        CodeDisplay display(from);
        display.setFont(QFont(display.font().family(), 40, QFont::Bold));
        display.resize(700, 150);
        display.show();
        QVERIFY(QTest::qWaitForWindowExposed(&display));
        const QSize hint = display.sizeHint();
        PaintLog log;
        display.installEventFilter(&log);
        QTest::qWait(20);
        log.regions.clear();

        display.setText(to);
        QCOMPARE(display.text(), to);
        QCOMPARE(display.sizeHint(), hint); // a new code never asks for a new layout
        QTest::qWait(50);
        if (repainted == QLatin1String("none")) {
            QVERIFY(log.regions.isEmpty());
            return;
        }
        QVERIFY(!log.regions.isEmpty());
        QRegion painted;
        for (const QRegion &r : std::as_const(log.regions))
            painted += r;
        if (repainted == QLatin1String("all")) {
            QCOMPARE(painted.boundingRect(), display.rect());
            return;
        }
        // Centre of each character as the line is laid out, centred.
        const QFontMetricsF metrics(display.font());
        const qreal left = (display.width() - metrics.horizontalAdvance(to)) / 2;
        const QList<QString> changed = repainted.split(',');
        for (int i = 0; i < to.size(); ++i) {
            const qreal x = left + metrics.horizontalAdvance(to.left(i)) +
                            metrics.horizontalAdvance(to.at(i)) / 2;
            const QPoint centre(int(x), display.height() / 2);
            QVERIFY2(painted.contains(centre) == changed.contains(QString::number(i)),
                     qPrintable(QStringLiteral("character %1").arg(i)));
        }
    }

    // The LCD kind alike: only the changed cells are repainted, and what the
    // screen then holds is the new code whole (nothing stale, nothing cut).
    void lcdRepaintsOnlyWhatChanged_data() { repaintsOnlyWhatChanged_data(); }
    void lcdRepaintsOnlyWhatChanged()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, repainted);
        // Cells do not move with the glyphs' widths: the colons stay put.
        if (repainted == QLatin1String("all"))
            repainted = QStringLiteral("0,1,3,4,6,7,9,10");
        const QSize size(670, 300);
        LcdDisplay display(11, from);
        display.resize(size);
        display.show();
        QVERIFY(QTest::qWaitForWindowExposed(&display));
        PaintLog log;
        display.installEventFilter(&log);
        QTest::qWait(20);
        log.regions.clear();

        display.setText(to);
        QCOMPARE(display.text(), to);
        QTest::qWait(50);
        QRegion painted;
        for (const QRegion &r : std::as_const(log.regions))
            painted += r;
        // Cells share the width evenly; the middle of each is well inside it.
        const QList<QString> changed = repainted.split(',');
        for (int i = 0; i < to.size(); ++i) {
            const QPoint centre(display.width() * (2 * i + 1) / 22, display.height() / 2);
            QVERIFY2(painted.contains(centre) == changed.contains(QString::number(i)),
                     qPrintable(QStringLiteral("cell %1").arg(i)));
        }

        LcdDisplay fresh(11, to);
        fresh.resize(size);
        fresh.show();
        QVERIFY(QTest::qWaitForWindowExposed(&fresh));
        const QImage shown = display.screen()->grabWindow(display.winId()).toImage();
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
