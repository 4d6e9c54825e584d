#include "privatenetwork.h"
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <climits>
#include <csignal>
#include <unistd.h>

// Runs the real program, offscreen with a private home, and ends it the ways
// an operator, a service manager or a place with an exit flag does.
class TestShutdown : public QObject
{
    Q_OBJECT

    // Polls the process's caught-signal mask (bounded: 5 s).
    static bool waitUntilCaught(qint64 pid, int signalNumber)
    {
        QElapsedTimer timer;
        timer.start();
        const QString path = QStringLiteral("/proc/%1/status").arg(pid);
        while (timer.elapsed() < 5000) {
            QFile status(path);
            if (status.open(QIODevice::ReadOnly)) {
                for (const QByteArray &line : status.readAll().split('\n'))
                    if (line.startsWith("SigCgt:") &&
                        (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (signalNumber - 1)) & 1)
                        return true;
            }
            QThread::usleep(200);
        }
        return false;
    }

private slots:
    void initTestCase() { REQUIRE_PRIVATE_NETWORK(); }
    void endsCleanly_data()
    {
        QTest::addColumn<int>("signalNumber"); // 0: the program ends by itself
        // -1: once the workers run; 0: the instant the process catches the
        // signal (long before the window exists); else this long after start.
        QTest::addColumn<int>("delayMs");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QVariantMap>("seed");
        QTest::addColumn<int>("frameFormat");
        // The stored format is written back as read, whatever the command line said.
        const QVariantMap format{{"FrameFormat", 2}};
        const QStringList p1{"p1", "25fps"};
        QTest::newRow("SIGTERM") << int(SIGTERM) << -1 << p1 << format << 2;
        QTest::newRow("SIGINT") << int(SIGINT) << -1 << p1 << format << 2;
        // A hand-edited universe at the edge of int reaches the node's set-up.
        const QVariantMap edge{{"FrameFormat", 2}, {"dmx_in_universe", INT_MIN}};
        QTest::newRow("SIGHUP") << int(SIGHUP) << -1 << p1 << edge << 2;
        // During start-up, while the application and the window are being built.
        QTest::newRow("SIGTERM when caught") << int(SIGTERM) << 0 << p1 << format << 2;
        QTest::newRow("SIGHUP when caught") << int(SIGHUP) << 0 << p1 << format << 2;
        // Verbose lines into a pipe whose reader has gone, as `orvello verbose | head -1`.
        QTest::newRow("SIGTERM, verbose into a closed pipe")
            << int(SIGTERM) << -1 << QStringList{"p1", "25fps", "verbose"} << format << 2;
        QTest::newRow("SIGINT at 60 ms") << int(SIGINT) << 60 << p1 << format << 2;
        // Place 3 runs from 00:00:00 to 00:00:01 and then closes the program.
        QTest::newRow("exit at end") << 0 << -1 << QStringList{"p3"}
                                     << QVariantMap{{"end_hour_2", 0},
                                                    {"end_minute_2", 0},
                                                    {"end_seconds_2", 1},
                                                    {"exits_at_end_2", 1}}
                                     << 0;
        // An entry for the current month is due at the playlist's first tick.
        QTest::newRow("playlist exits")
            << 0 << -1 << QStringList{"25fps"}
            << QVariantMap{{"FrameFormat", 3},
                           {"playlist_count", 1},
                           {"playlist_enabled", 1},
                           {"playlist_place_0", -2},
                           {"playlist_month_0", QDate::currentDate().month()}}
            << 3;
    }

    void endsCleanly()
    {
        QFETCH(int, signalNumber);
        QFETCH(int, delayMs);
        QFETCH(QStringList, args);
        QFETCH(QVariantMap, seed);
        QFETCH(int, frameFormat);
        QTemporaryDir home; // made 0700, as the runtime folder must be
        QVERIFY(home.isValid());
        const QString storeFile = home.filePath(QStringLiteral("orvello.example/Orvello.conf"));
        {
            QSettings store(storeFile, QSettings::IniFormat);
            for (auto it = seed.cbegin(); it != seed.cend(); ++it)
                store.setValue(it.key(), it.value());
        }
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        for (const char *name : {"HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"})
            env.insert(QLatin1String(name), home.path());
        env.remove(QStringLiteral("QT_LOGGING_RULES"));
        QProcess process; // killed on destruction should a check fail
        if (args.contains(QStringLiteral("verbose"))) {
            process.setChildProcessModifier([] {
                int fds[2];
                if (::pipe(fds) == 0) {
                    ::close(fds[0]);
                    ::dup2(fds[1], STDOUT_FILENO);
                    ::close(fds[1]);
                }
            });
        }
        process.setProcessEnvironment(env);
        QElapsedTimer timer;
        timer.start();
        process.start(QStringLiteral(ORVELLO_BINARY), args);
        QVERIFY(process.waitForStarted(5000));

        if (signalNumber && delayMs >= 0) {
            if (delayMs == 0)
                QVERIFY(waitUntilCaught(process.processId(), signalNumber));
            QTest::qSleep(delayMs);
            QCOMPARE(::kill(pid_t(process.processId()), signalNumber), 0);
        } else if (signalNumber) {
            // The calculator's thread carries its name: once it shows in /proc
            // the window is built and the workers run.
            const QString tasks = QStringLiteral("/proc/%1/task/").arg(process.processId());
            const auto calculatorRuns = [&tasks] {
                for (const QString &id : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
                    QFile comm(tasks + id + QStringLiteral("/comm"));
                    if (comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == "calculator")
                        return true;
                }
                return false;
            };
            QTRY_VERIFY_WITH_TIMEOUT(calculatorRuns(), 10000);
            QTest::qWait(300); // let it run a few frames
            timer.restart();
            QCOMPARE(::kill(pid_t(process.processId()), signalNumber), 0);
        }
        QVERIFY(process.waitForFinished(10000));
        const qint64 took = timer.elapsed();
        if (signalNumber && delayMs < 0)
            QVERIFY2(took < 1000, qPrintable(QStringLiteral("%1 ms").arg(took)));
        else if (seed.contains("playlist_count"))
            QVERIFY2(took < 5000, qPrintable(QStringLiteral("%1 ms").arg(took)));
        else if (!signalNumber)
            QVERIFY2(took >= 1000, qPrintable(QStringLiteral("%1 ms").arg(took)));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
        QCOMPARE(QString::fromLocal8Bit(process.readAllStandardError()), QString());
        QCOMPARE(QSettings(storeFile, QSettings::IniFormat).value("FrameFormat").toInt(),
                 frameFormat);
    }
};

QTEST_GUILESS_MAIN(TestShutdown)
#include "tst_shutdown.moc"
