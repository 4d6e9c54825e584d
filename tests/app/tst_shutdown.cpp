#include "privatenetwork.h"
#include "table.h"
#include "terminationsignals.h"

#include <QElapsedTimer>
#include <QNetworkDatagram>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <QtTest>

#include <climits>
#include <csignal>
#include <unistd.h>

// Runs the real program, offscreen with a private home, and ends it the ways
// an operator, a service manager or a place with an exit flag does.
class TestShutdown : public QObject
{
    Q_OBJECT

    // Polls the process's caught-signal mask (bounded: 10 s).
    static bool waitUntilCaught(qint64 pid, int signalNumber)
    {
        QElapsedTimer timer;
        timer.start();
        const QString path = QStringLiteral("/proc/%1/status").arg(pid);
        while (timer.elapsed() < 10000) {
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

    // `orvello headless` hands its run to the service program by exec: a
    // signal caught before is raised again and held blocked, so it is pending
    // across the exec and reaches the handler once it is let through.
    void signalHeldOverExec()
    {
        TerminationSignals termination;
        QVERIFY(termination.isInstalled());
        QSignalSpy requested(&termination, &TerminationSignals::terminationRequested);
        ::raise(SIGTERM); // caught: its byte waits in the socket pair
        TerminationSignals::holdForExec();
        sigset_t pending;
        QVERIFY(::sigpending(&pending) == 0);
        const bool held = sigismember(&pending, SIGTERM) == 1;
        TerminationSignals::releaseHeld();
        QVERIFY(held);
        QTRY_COMPARE(requested.size(), 1);
        QCOMPARE(requested.at(0).at(0).toInt(), int(SIGTERM));
    }
    void endsCleanly_data()
    {
        // signalNumber 0: the program ends by itself. delayMs -1: the signal once
        // the workers run, else this long after the process catches it (0: at
        // that instant, long before the window exists). closedFds: standard
        // descriptors the program starts without, as bits 0..2. raisedAtLoad: a
        // signal raised by a library's constructor, before any of our own code
        // but the very first step could run.
        Table::columns<int, int, QStringList, QVariantMap, int, int, int>(
            "signalNumber", "delayMs", "args", "seed", "frameFormat", "closedFds", "raisedAtLoad");
        // The stored format is written back as read, whatever the command line said.
        const QVariantMap format{{"FrameFormat", 2}};
        // A hand-edited universe at the edge of int reaches the node's set-up.
        const QVariantMap edge{{"FrameFormat", 2}, {"dmx_in_universe", INT_MIN}};
        // Place 3 runs from 00:00:00 to 00:00:01 and then closes the program.
        const QVariantMap placeExit{
            {"end_hour_2", 0}, {"end_minute_2", 0}, {"end_seconds_2", 1}, {"exits_at_end_2", 1}};
        // An entry for the current month is due at the playlist's first tick.
        const QVariantMap playlistExit{{"FrameFormat", 3},
                                       {"playlist_count", 1},
                                       {"playlist_enabled", 1},
                                       {"playlist_place_0", -2},
                                       {"playlist_month_0", QDate::currentDate().month()}};
        // The headless run ends the same ways, offered displays that do not exist.
        for (const char *mode : {"window", "headless"}) {
            const QStringList run = *mode == 'h' ? QStringList{"headless"} : QStringList{};
            const QStringList p1 = run + QStringList{"p1", "25fps"};
            QTest::addRow("%s, SIGTERM", mode) << int(SIGTERM) << -1 << p1 << format << 2 << 0 << 0;
            QTest::addRow("%s, SIGHUP", mode) << int(SIGHUP) << -1 << p1 << edge << 2 << 0 << 0;
            // During start-up, while the application and the window are being built.
            QTest::addRow("%s, SIGTERM when caught", mode)
                << int(SIGTERM) << 0 << p1 << format << 2 << 0 << 0;
            // Verbose lines into a pipe whose reader has gone, as `orvello verbose | head -1`.
            QTest::addRow("%s, verbose into a closed pipe", mode)
                << int(SIGTERM) << -1 << p1 + QStringList{"verbose"} << format << 2 << 0 << 0;
            // Started with `>&-`: what is written to standard output must not
            // reach a descriptor the program opened for itself.
            QTest::addRow("%s, standard output closed, verbose", mode)
                << int(SIGTERM) << -1 << run + QStringList{"p0", "25fps", "verbose"} << format << 2
                << 0b010 << 0;
            QTest::addRow("%s, exit at end", mode)
                << 0 << -1 << run + QStringList{"p3"} << placeExit << 0 << 0 << 0;
            QTest::addRow("%s, playlist exits", mode)
                << 0 << -1 << run + QStringList{"25fps"} << playlistExit << 3 << 0 << 0;
        }
        QTest::newRow("SIGINT 60 ms after caught")
            << int(SIGINT) << 60 << QStringList{"p1", "25fps"} << format << 2 << 0 << 0;
        QTest::newRow("SIGTERM from a library's constructor")
            << 0 << -1 << QStringList{"p1", "25fps"} << format << 2 << 0 << int(SIGTERM);
    }

    void endsCleanly()
    {
        const auto [signalNumber, delayMs, args, seed, frameFormat, closedFds, raisedAtLoad] =
            Table::fetch<int, int, QStringList, QVariantMap, int, int, int>(
                "signalNumber", "delayMs", "args", "seed", "frameFormat", "closedFds",
                "raisedAtLoad");
        QTemporaryDir home; // made 0700, as the runtime folder must be
        QVERIFY(home.isValid());
        const QString storeFile = home.filePath(QStringLiteral("orvello.example/Orvello.conf"));
        {
            QSettings store(storeFile, QSettings::IniFormat);
            for (auto it = seed.cbegin(); it != seed.cend(); ++it)
                store.setValue(it.key(), it.value());
        }
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        // A headless run that tried to open one of these displays would abort.
        const bool headless = args.contains(QStringLiteral("headless"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), headless ? "xcb" : "offscreen");
        if (headless) {
            env.insert(QStringLiteral("DISPLAY"), QStringLiteral(":77"));
            env.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-77"));
        }
        for (const char *name : {"HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"})
            env.insert(QLatin1String(name), home.path());
        env.remove(QStringLiteral("QT_LOGGING_RULES"));
        if (raisedAtLoad) {
            env.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(RAISE_AT_LOAD));
            env.insert(QStringLiteral("ORVELLO_TEST_RAISE"), QString::number(raisedAtLoad));
            // A sanitizer build wants its runtime first in the list; it still is
            // first among the program's own libraries.
            if (env.contains(QStringLiteral("ASAN_OPTIONS")))
                env.insert(QStringLiteral("ASAN_OPTIONS"),
                           env.value(QStringLiteral("ASAN_OPTIONS")) +
                               QStringLiteral(":verify_asan_link_order=0"));
        }
        QProcess process; // killed on destruction should a check fail
        const bool verbose = args.contains(QStringLiteral("verbose"));
        process.setChildProcessModifier([closed = closedFds, verbose] {
            for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd)
                if (closed & (1 << fd))
                    ::close(fd);
            int fds[2];
            if (verbose && !closed && ::pipe(fds) == 0) {
                ::close(fds[0]);
                ::dup2(fds[1], STDOUT_FILENO);
                ::close(fds[1]);
            }
        });
        // The program shows that it runs by the frames it sends (to the
        // loopback broadcast of this test's own namespace).
        QUdpSocket wire;
        int codes = 0;
        QVERIFY(wire.bind(QHostAddress::AnyIPv4, 6454,
                          QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint));
        connect(&wire, &QUdpSocket::readyRead, &wire, [&wire, &codes] {
            while (wire.hasPendingDatagrams()) {
                const QByteArray d = wire.receiveDatagram().data();
                codes += d.size() == 20 && d.startsWith(QByteArray("Art-Net\0\x00\x97", 10));
            }
        });
        process.setProcessEnvironment(env);
        QElapsedTimer timer;
        timer.start();
        process.start(QStringLiteral(ORVELLO_BINARY), args);
        QVERIFY(process.waitForStarted(5000));

        if (signalNumber && delayMs >= 0) {
            QVERIFY(waitUntilCaught(process.processId(), signalNumber));
            QTest::qSleep(delayMs);
            QCOMPARE(::kill(pid_t(process.processId()), signalNumber), 0);
        } else if (signalNumber) {
            // Running: the workers send.
            QTRY_VERIFY_WITH_TIMEOUT(codes >= 25, 10000); // a second of frames
            QCOMPARE(process.state(), QProcess::Running);
            timer.restart();
            QCOMPARE(::kill(pid_t(process.processId()), signalNumber), 0);
        }
        QVERIFY(process.waitForFinished(10000));
        const qint64 took = timer.elapsed();
        if (signalNumber && delayMs < 0)
            QVERIFY2(took < 1000, qPrintable(QStringLiteral("%1 ms").arg(took)));
        else if (seed.contains("playlist_count"))
            QVERIFY2(took < 5000, qPrintable(QStringLiteral("%1 ms").arg(took)));
        else if (!signalNumber && !raisedAtLoad)
            QVERIFY2(took >= 1000, qPrintable(QStringLiteral("%1 ms").arg(took)));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
        // The offscreen platform says so whenever a window's size limits
        // change; a real display has no such line.
        QString errors = QString::fromLocal8Bit(process.readAllStandardError());
        errors.remove(QStringLiteral("This plugin does not support propagateSizeHints()\n"));
        QCOMPARE(errors, QString());
        QCOMPARE(QSettings(storeFile, QSettings::IniFormat).value("FrameFormat").toInt(),
                 frameFormat);
    }
};

QTEST_GUILESS_MAIN(TestShutdown)
#include "tst_shutdown.moc"
