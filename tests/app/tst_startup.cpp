#include "orvello.h"
#include "privatenetwork.h"

#include <QApplication>
#include <QtTest>

class TestStartup : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { REQUIRE_PRIVATE_NETWORK(); }
    void windowRunsWorkerAndEndsCleanly();
};

void TestStartup::windowRunsWorkerAndEndsCleanly()
{
    QTest::failOnWarning(QRegularExpression("QThread|QObject|Timers"));
    auto *window = new Orvello;
    window->show();
    QCOMPARE(window->windowTitle(), QStringLiteral("Orvello"));
    QTRY_COMPARE_WITH_TIMEOUT(window->runningWorkerThreads(), 4, 5000);

    window->close();
    QTRY_COMPARE_WITH_TIMEOUT(window->runningWorkerThreads(), 0, 5000);
    delete window; // waits for the threads and lets them release themselves
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
