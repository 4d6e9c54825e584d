#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

// "--export FILE" and "--import FILE" through the real program, with a
// private settings home and no display at all.
class TestConfigCommand : public QObject
{
    Q_OBJECT

    struct Run {
        int exitCode = -1;
        QString output; // standard output and error
    };

    static Run run(const QTemporaryDir &home, const QStringList &args)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            env.remove(QLatin1String(name));
        for (const char *name : {"HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"})
            env.insert(QLatin1String(name), home.path());
        QProcess process;
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(QStringLiteral(ORVELLO_BINARY), args);
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

    void importSavesTheWholeRecord()
    {
        QTemporaryDir home;
        QSettings(storePath(home), QSettings::IniFormat).setValue("start_minute_4", 33);
        const QString path = home.filePath(QStringLiteral("in.ovxml"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(R"(<!DOCTYPE orvello><OrvelloConfig>
 <place_item version="1" place_number="2" start_min="5"/>
 <dmx_in_item version="1" dmx_in_universe="300"/>
 <playlist version="1" enabled="1"/>
 <playlist_item version="1" place="ex" hour="23"/>
</OrvelloConfig>)");
        file.close();
        const Run r = run(home, {QStringLiteral("--import"), path});
        QCOMPARE(r.output, QString());
        QCOMPARE(r.exitCode, 0);
        const QVariantMap store = stored(home);
        const QVariantMap expected{{"start_minute_1", "5"},   {"dmx_in_universe", "300"},
                                   {"playlist_enabled", "1"}, {"playlist_place_0", "-2"},
                                   {"playlist_hour_0", "23"}, {"start_minute_4", "0"}};
        for (auto it = expected.cbegin(); it != expected.cend(); ++it)
            QCOMPARE(store.value(it.key()).toString(), it.value().toString());
    }

    // Each refusal leaves the store unwritten; %1 is a malformed file.
    void refusalsOfTheCommandLine_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("err");
        QTest::newRow("no file name")
            << QStringList{"--export"} << "--export and --import need a file name\n";
        QTest::newRow("both") << QStringList{"--export", "a", "--import", "b"}
                              << "--export and --import cannot be given together\n";
        QTest::newRow("unwritable") << QStringList{"--export", "/nonexistent/x.ovxml"}
                                    << "The file /nonexistent/x.ovxml could not be written!\n"
                                       "No such file or directory.\n";
        // Opening works; the data is refused when it is flushed.
        QTest::newRow("device full") << QStringList{"--export", "/dev/full"}
                                     << "The file /dev/full could not be written!\n"
                                        "No space left on device.\n";
        QTest::newRow("malformed import")
            << QStringList{"--import", "%1"}
            << "Could not load file %1! It is not a valid Orvello XML file (*.ovxml).\n";
    }

    void refusalsOfTheCommandLine()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, err);
        QTemporaryDir home;
        const QString path = home.filePath(QStringLiteral("in.ovxml"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("<OrvelloConfig><place_item>") > 0);
        file.close();
        const Run r = run(home, args.replaceInStrings(QLatin1String("%1"), path));
        QCOMPARE(r.output, QString(err).replace(QLatin1String("%1"), path));
        QCOMPARE(r.exitCode, 1);
        QVERIFY(!QFile::exists(storePath(home)));
    }
};

QTEST_GUILESS_MAIN(TestConfigCommand)
#include "tst_configcommand.moc"
