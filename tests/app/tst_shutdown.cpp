#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

// Runs the real program, offscreen with a private home, and ends it the ways
// an operator or a service manager does.
class TestShutdown : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void signalEndsCleanly_data();
    void signalEndsCleanly();
    void exitAtEndCodeEndsCleanly();

private:
    QString storeFile() const
    {
        return m_home->path() + QStringLiteral("/orvello.example/Orvello.conf");
    }
    void start(const QStringList &args);
    bool waitForCalculatorThread();

    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<QProcess> m_process;
};

void TestShutdown::init()
{
    m_home = std::make_unique<QTemporaryDir>();
    QVERIFY(m_home->isValid());
    QFile::setPermissions(m_home->path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    m_process = std::make_unique<QProcess>();
}

void TestShutdown::cleanup()
{
    if (m_process && m_process->state() != QProcess::NotRunning) {
        m_process->kill(); // only the one this test started
        m_process->waitForFinished(2000);
    }
    m_process.reset();
    m_home.reset();
}

void TestShutdown::start(const QStringList &args)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("HOME"), m_home->path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home->path());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_home->path());
    env.remove(QStringLiteral("QT_LOGGING_RULES"));
    m_process->setProcessEnvironment(env);
    m_process->start(QStringLiteral(ORVELLO_BINARY), args);
    QVERIFY(m_process->waitForStarted(5000));
}

// The calculator's thread carries its name, so its presence in /proc says the
// window is built and the workers run.
bool TestShutdown::waitForCalculatorThread()
{
    const QString tasks = QStringLiteral("/proc/%1/task").arg(m_process->processId());
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 10000) {
        const QStringList ids = QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        for (const QString &id : ids) {
            QFile comm(tasks + QLatin1Char('/') + id + QStringLiteral("/comm"));
            if (comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == "calculator")
                return true;
        }
        QTest::qWait(20);
    }
    return false;
}

void TestShutdown::signalEndsCleanly_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void TestShutdown::signalEndsCleanly()
{
    QFETCH(int, signalNumber);
    {
        // The stored format is written back as read, whatever the command line said.
        QDir().mkpath(QFileInfo(storeFile()).path());
        QSettings seed(storeFile(), QSettings::IniFormat);
        seed.setValue(QStringLiteral("FrameFormat"), 2);
    }
    start({QStringLiteral("p1"), QStringLiteral("25fps")});
    QVERIFY(waitForCalculatorThread());
    QTest::qWait(300); // let it run a few frames

    QElapsedTimer timer;
    timer.start();
    QCOMPARE(::kill(pid_t(m_process->processId()), signalNumber), 0);
    QVERIFY(m_process->waitForFinished(3000));
    const qint64 took = timer.elapsed();
    QVERIFY2(took < 1000, qPrintable(QStringLiteral("%1 ms").arg(took)));
    QCOMPARE(m_process->exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_process->exitCode(), 0);
    QCOMPARE(QString::fromLocal8Bit(m_process->readAllStandardError()), QString());

    QSettings store(storeFile(), QSettings::IniFormat);
    QCOMPARE(store.value(QStringLiteral("FrameFormat")).toInt(), 2);
    QVERIFY(store.contains(QStringLiteral("MidiTimecodeType")));
    QVERIFY(store.contains(QStringLiteral("MidiInterfaceName")));
}

void TestShutdown::exitAtEndCodeEndsCleanly()
{
    {
        QDir().mkpath(QFileInfo(storeFile()).path());
        QSettings seed(storeFile(), QSettings::IniFormat);
        // Place 3 runs from 00:00:00 to 00:00:01 and then closes the program.
        seed.setValue(QStringLiteral("end_hour_2"), 0);
        seed.setValue(QStringLiteral("end_minute_2"), 0);
        seed.setValue(QStringLiteral("end_seconds_2"), 1);
        seed.setValue(QStringLiteral("exits_at_end_2"), 1);
    }
    QElapsedTimer timer;
    timer.start();
    start({QStringLiteral("p3")});
    QVERIFY(m_process->waitForFinished(10000));
    QVERIFY2(timer.elapsed() >= 1000, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(m_process->exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_process->exitCode(), 0);
    QCOMPARE(QString::fromLocal8Bit(m_process->readAllStandardError()), QString());
    QSettings store(storeFile(), QSettings::IniFormat);
    QCOMPARE(store.value(QStringLiteral("FrameFormat")).toInt(), 0);
}

QTEST_GUILESS_MAIN(TestShutdown)
#include "tst_shutdown.moc"
