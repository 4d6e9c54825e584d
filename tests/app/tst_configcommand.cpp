#include "table.h"
#include "writefile.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

// "--export FILE" and "--import FILE" through the real program, with a
// private settings home and no display at all.
class TestConfigCommand : public QObject
{
    Q_OBJECT

    struct Run {
        int exitCode = -1;
        QString output; // standard output and error
    };

    static void start(QProcess &process, const QTemporaryDir &home, const QStringList &args)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            env.remove(QLatin1String(name));
        for (const char *name : {"HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"})
            env.insert(QLatin1String(name), home.path());
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(QStringLiteral(ORVELLO_BINARY), args);
    }
    static Run run(const QTemporaryDir &home, const QStringList &args)
    {
        QProcess process;
        start(process, home, args);
        Run r;
        if (process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit)
            r.exitCode = process.exitCode();
        r.output = QString::fromLocal8Bit(process.readAll());
        return r;
    }
    static QString storePath(const QTemporaryDir &home)
    {
        return home.filePath(QStringLiteral("orvello.example/Orvello.conf"));
    }
    static QByteArray checksum(const QTemporaryDir &home)
    {
        QFile file(storePath(home));
        return file.open(QIODevice::ReadOnly)
                   ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Md5)
                   : QByteArray();
    }
    // A store of the show in use: nine places, a long playlist.
    static void seedStore(const QTemporaryDir &home, int entries)
    {
        QSettings store(storePath(home), QSettings::IniFormat);
        store.setValue("start_hour_4", 7);
        store.setValue("playlist_count", entries);
        for (int i = 0; i < entries; ++i) {
            store.setValue(QStringLiteral("playlist_place_%1").arg(i), 2);
            store.setValue(QStringLiteral("playlist_hour_%1").arg(i), i % 24);
        }
    }
    // The file to import, "in.ovxml" in the home folder.
    static QString importFile(const QTemporaryDir &home, const QByteArray &text)
    {
        return writeFile(home.filePath(QStringLiteral("in.ovxml")), text);
    }
    // The largest resident size of any run so far, in MiB.
    static long childPeakMiB()
    {
        rusage usage = {};
        getrusage(RUSAGE_CHILDREN, &usage);
        return usage.ru_maxrss / 1024;
    }
    static QVariantMap stored(const QTemporaryDir &home)
    {
        QSettings store(storePath(home), QSettings::IniFormat);
        QVariantMap map;
        for (const QString &key : store.allKeys())
            map.insert(key, store.value(key));
        return map;
    }

private slots:
    void exportWritesTheStoredConfiguration()
    {
        const QVariantMap seed{
            {"end_hour_2", 12},       {"exits_at_end_2", 1},    {"dmx_in_enabled", 1},
            {"dmx_in_universe", 300}, {"midi_protocol_on", 0},  {"playlist_enabled", 1},
            {"playlist_count", 1},    {"playlist_place_0", -3}, {"playlist_year_0", -1},
            {"playlist_month_0", -1}, {"playlist_day_0", -1},   {"playlist_weekday_0", 4},
            {"playlist_hour_0", 19},  {"playlist_minute_0", 30}};
        QTemporaryDir home;
        {
            QSettings store(storePath(home), QSettings::IniFormat);
            for (auto it = seed.cbegin(); it != seed.cend(); ++it)
                store.setValue(it.key(), it.value());
        }
        const QString target = home.filePath(QStringLiteral("my.shows/show"));
        QVERIFY(QDir(home.path()).mkdir(QStringLiteral("my.shows")));
        const Run r = run(home, {QStringLiteral("--export"), target});
        QCOMPARE(r.output, QString());
        QCOMPARE(r.exitCode, 0);
        QFile file(target); // written under the name as given
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        for (const char *line :
             {R"( <place_item version="1" place_number="3" end_hour="12" close_at_end="1"/>)",
              R"( <dmx_in_item version="1" dmx_in_enabled="1" dmx_in_universe="300"/>)",
              R"( <protocol_midi version="1" enable="0"/>)",
              R"( <playlist version="1" enabled="1"/>)",
              R"( <playlist_item version="1" place="ST" weekday="4" hour="19" minute="30"/>)"})
            QVERIFY2(text.contains(QLatin1String(line) + QLatin1Char('\n')), line);
        QCOMPARE(text.count(QLatin1String("\n <")), 13);
        QCOMPARE(stored(home), seed); // reading wrote nothing back
    }

    // Files that are no show, or too much of one, are refused quickly, in
    // little memory, and leave the store as it was. "%1" is the file.
    void hostileFiles_data()
    {
        using Table::row;
        // kind: file, sparse (content: size in MiB), fifo, dir; reason: the message
        Table::columns<QString, QByteArray, QString>("kind", "content", "reason");
        const QString notShow =
            "Could not load file %1! It is not a valid Orvello XML file (*.ovxml).\n";
        row("svg picture", "file",
            QByteArray("<?xml version=\"1.0\"?><svg><rect width=\"3\"/></svg>"),
            notShow + "Its root element is svg, not OrvelloConfig.\n");
        row("later format", "file",
            QByteArray(R"(<OrvelloConfig version="2"><place_item version="1"/></OrvelloConfig>)"),
            notShow + "It has the format version 2; this program reads version 1.\n");
        row("version not a number", "file", QByteArray(R"(<OrvelloConfig version="1x"/>)"),
            notShow + "It has the format version 1x; this program reads version 1.\n");
        row("100 MiB", "sparse", QByteArray("100"),
            "The file %1 could not be read!\nIt is larger than 4 MiB; a "
            "show file holds a few kilobytes.\n");
        row("100000 nested", "file",
            "<OrvelloConfig>" + QByteArray("<a>").repeated(100000) +
                QByteArray("</a>").repeated(100000) + "</OrvelloConfig>",
            notShow + "Its elements are nested more than 16 deep; a show nests them two deep.\n");
        row("a million elements", "file",
            "<OrvelloConfig>" + QByteArray("<a/>").repeated(1000000) + "</OrvelloConfig>",
            notShow + "It holds more than 50000 elements, attributes and other parts; a show "
                      "holds a few hundred.\n");
        QByteArray attributes;
        for (int i = 0; i < 20000; ++i)
            attributes += " a" + QByteArray::number(i) + "=\"\"";
        row("20000 attributes", "file", "<OrvelloConfig" + attributes + "/>",
            notShow + "An element carries more than 64 attributes; those of a show carry a "
                      "few.\n");
        row("fifo", "fifo", QByteArray(),
            "The file %1 could not be read!\nIt is not a regular file.\n");
        row("folder", "dir", QByteArray(),
            "The file %1 could not be read!\nIt is not a regular file.\n");
    }

    void hostileFiles()
    {
        const auto [kind, content, reason] =
            Table::fetch<QString, QByteArray, QString>("kind", "content", "reason");
        QTemporaryDir home;
        seedStore(home, 50);
        const QByteArray before = checksum(home);
        const QString path = home.filePath(QStringLiteral("in.ovxml"));
        if (kind == QLatin1String("fifo")) {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (kind == QLatin1String("dir")) {
            QVERIFY(QDir(home.path()).mkdir(QStringLiteral("in.ovxml")));
        } else {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            if (kind == QLatin1String("sparse"))
                QVERIFY(file.resize(content.toLongLong() * 1024 * 1024));
            else
                QCOMPARE(file.write(content), content.size());
        }
        QElapsedTimer clock;
        clock.start();
        const Run r = run(home, {QStringLiteral("--import"), path});
        // A loaded machine is slow, but nowhere near the minutes of reading it all.
        QVERIFY2(clock.elapsed() < 8000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(r.output, QString(reason).replace(QLatin1String("%1"), path));
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(checksum(home), before);
        QVERIFY2(childPeakMiB() < 120, qPrintable(QString::number(childPeakMiB())));
    }

    // The whole record is replaced: values beyond the editors are taken as
    // the file has them, each named once, and a shorter playlist leaves no
    // keys of the longer one behind.
    void importReplacesTheRecordAndNamesOddValues()
    {
        QTemporaryDir home;
        seedStore(home, 1000);
        const QString path = importFile(home, R"(<!DOCTYPE orvello><OrvelloConfig version="1">
 <place_item version="1" place_number="1" start_hour="99" start_min="75"/>
 <place_item version="1" place_number="12" start_hour="1"/>
 <playlist_item version="1" place="01" month="13" day="32" year="99999"/>
 <playlist_item version="1" place="12" hour="23"/>
 <playlist_item version="1" place="ST" weekday="-1" minute="x"/>
 <place_item version="1" place_number="2" start_min="5"/>
 <dmx_in_item version="1" dmx_in_universe="300"/>
 <playlist version="1" enabled="1"/>
 <playlist_item version="1" place="ex" hour="22"/>
</OrvelloConfig>)");
        const Run r = run(home, {QStringLiteral("--import"), path});
        QCOMPARE(r.exitCode, 0);
        const QString prefix = path + ": line ";
        QCOMPARE(
            r.output.split(QLatin1Char('\n'), Qt::SkipEmptyParts),
            (QStringList{
                prefix + "2: place_item start_hour=\"99\" is not a number from 0 to 23",
                prefix + "2: place_item start_min=\"75\" is not a number from 0 to 59",
                prefix + "3: place_item place_number=\"12\" is not a number from 1 to 9",
                prefix + "4: playlist_item year=\"99999\" is not a number from 1 to 9999",
                prefix + "4: playlist_item month=\"13\" is not a number from 1 to 12",
                prefix + "4: playlist_item day=\"32\" is not a number from 1 to 31",
                prefix + "5: playlist_item place=\"12\" is not ST, EX or a place from 1 to 9",
                prefix + "6: playlist_item minute=\"x\" is not a number from 0 to 59",
                prefix + "8: dmx_in_item dmx_in_universe=\"300\" is not a number from 1 to 256",
            }));
        const QVariantMap store = stored(home);
        const QVariantMap expected{
            {"start_hour_0", 99},     {"start_minute_1", 5},    {"start_hour_4", 0},
            {"playlist_count", 4},    {"playlist_year_0", -1}, // too large: as no number
            {"playlist_month_0", 13}, {"dmx_in_universe", 300}, {"playlist_enabled", 1},
            {"playlist_place_3", -2}, {"playlist_hour_3", 22}};
        for (auto it = expected.cbegin(); it != expected.cend(); ++it)
            QVERIFY2(store.value(it.key()).toInt() == it.value().toInt(), qPrintable(it.key()));
        QVERIFY(!store.contains("playlist_hour_4"));
        QVERIFY(!store.contains("playlist_place_999"));
        QVERIFY(QFileInfo(storePath(home)).size() < 4096);
    }

    // The warnings fill the pipe, which the test does not read: the import
    // stands still in its reading part until the signal ends it.
    void signalsEndTheImport_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGTERM") << SIGTERM;
    }

    void signalsEndTheImport()
    {
        QFETCH(int, signalNumber);
        QTemporaryDir home;
        seedStore(home, 5);
        const QByteArray before = checksum(home);
        const QString path = importFile(
            home, "<OrvelloConfig>" +
                      QByteArray("<playlist_item version=\"1\" month=\"13\"/>\n").repeated(3000) +
                      "</OrvelloConfig>");
        QProcess process;
        start(process, home, {QStringLiteral("--import"), path});
        QVERIFY(process.waitForReadyRead(30000));
        QCOMPARE(::kill(pid_t(process.processId()), signalNumber), 0);
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitStatus(), QProcess::CrashExit);
        QCOMPARE(checksum(home), before);
    }

    // Each refusal leaves the store unwritten; %1 is a malformed file.
    void refusalsOfTheCommandLine_data()
    {
        using Table::row;
        Table::columns<QStringList, QString>("args", "err");
        row("no file name", QStringList{"--export"}, "--export and --import need a file name\n");
        row("both", QStringList{"--export", "a", "--import", "b"},
            "--export and --import cannot be given together\n");
        row("unwritable", QStringList{"--export", "/nonexistent/x.ovxml"},
            "The file /nonexistent/x.ovxml could not be written!\n"
            "No such file or directory.\n");
        // Opening works; the data is refused when it is flushed.
        row("device full", QStringList{"--export", "/dev/full"},
            "The file /dev/full could not be written!\n"
            "No space left on device.\n");
        row("malformed import", QStringList{"--import", "%1"},
            "Could not load file %1! It is not a valid Orvello XML file (*.ovxml).\n");
    }

    void refusalsOfTheCommandLine()
    {
        auto [args, err] = Table::fetch<QStringList, QString>("args", "err");
        QTemporaryDir home;
        const QString path = importFile(home, "<OrvelloConfig><place_item>");
        const Run r = run(home, args.replaceInStrings(QLatin1String("%1"), path));
        QCOMPARE(r.output, QString(err).replace(QLatin1String("%1"), path));
        QCOMPARE(r.exitCode, 1);
        QVERIFY(!QFile::exists(storePath(home)));
    }
};

QTEST_GUILESS_MAIN(TestConfigCommand)
#include "tst_configcommand.moc"
