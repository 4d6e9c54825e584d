#include "orvello.h"
#include "privatenetwork.h"
#include "settingsstore.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QtTest>

class TestStartup : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
private slots:
    void initTestCase()
    {
        REQUIRE_PRIVATE_NETWORK();
        QVERIFY(m_dir.isValid());
        SettingsStore::useFile(m_dir.filePath(QStringLiteral("store.conf")));
    }
    void windowRunsWorkersAndLeavesNothingBehind();
};

// The window's life as main() runs it: closed from inside the event loop, which
// then ends, and destroyed after. Every worker and every thread must be gone by
// then; deletions still posted after the loop ended would never run.
void TestStartup::windowRunsWorkersAndLeavesNothingBehind()
{
    QTest::failOnWarning(QRegularExpression("QThread|QObject|Timers"));
    auto *window = new Orvello;
    window->show();
    QCOMPARE(window->windowTitle(), QStringLiteral("Orvello"));
    // Art-Net node, MIDI output, LTC output, calculator, MTC
    // and LTC follow inputs, playlist.
    QTRY_COMPARE_WITH_TIMEOUT(window->runningWorkerThreads(), 7, 5000);

    Generator &generator = window->generator();
    const QList<QObject *> workers{generator.calculator(), generator.midiHandOff(),
                                   generator.ltcHandOff(), generator.midiOutput(),
                                   generator.ltcOutput(),  generator.artnetNode()};
    QList<QPointer<QObject>> left;
    for (QObject *worker : workers)
        left << worker << worker->thread();
    QTimer::singleShot(50, window, [window]() {
        if (window->close())
            QCoreApplication::quit();
    });
    QCoreApplication::exec();
    delete window;
    for (int i = 0; i < left.size(); ++i)
        QVERIFY2(!left[i], qPrintable(QStringLiteral("object %1 still alive").arg(i)));
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
