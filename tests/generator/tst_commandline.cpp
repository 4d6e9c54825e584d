#include "commandlineoptions.h"
#include "table.h"
#include "version.h"

#include <QProcess>
#include <QtTest>

class TestCommandLine : public QObject
{
    Q_OBJECT
private:
    static CommandLineOptions parse(const QStringList &args)
    {
        return CommandLineParser::parse(QStringList{QStringLiteral("orvello")} + args, nullptr);
    }
private slots:
    // Columns hold the expected option fields as "field=value" pairs, compared
    // against a freshly parsed record, so one table covers every spelling.
    void forms_data()
    {
        Table::columns<QString, QString>("arg", "expect");

        const auto rows = [](const QStringList &spellings, const QString &expect) {
            for (const QString &s : spellings)
                QTest::newRow(qPrintable(s)) << s << expect;
        };
        rows({"version", "--version", "/version"}, "version");
        rows({"help", "--help", "-h", "?"}, "help");
        rows({"verbose", "-verbose", "--verbose", "/verbose"}, "verbose");
        rows({"playlist", "--playlist", "/playlist"}, "playlist=1");
        rows({"noplaylist", "--noplaylist", "/noplaylist"}, "playlist=0");
        rows({"noupdatecheck", "--noupdatecheck", "/noupdatecheck"}, "noupdatecheck");
        rows({"24fps", "/24fps", "-24fps"}, "format=0");
        rows({"25fps", "/25fps", "-25fps"}, "format=1");
        rows({"30drop", "/30drop", "-30drop"}, "format=2");
        rows({"30fps", "/30fps", "-30fps"}, "format=3");
        rows({"systemtime", "/systemtime", "-systemtime", "p0", "/p0", "-p0"}, "place=-3");
        for (int i = 1; i <= 9; ++i) {
            const QString p = QStringLiteral("p%1").arg(i);
            rows({p, "/" + p, "-" + p}, QStringLiteral("place=%1").arg(i - 1));
        }
        rows({"starttime", "/starttime", "-starttime"}, "none");
        rows({"artnet", "/artnet", "-artnet"}, "artnet=1");
        rows({"noartnet", "/noartnet", "-noartnet"}, "artnet=0");
        rows({"midi", "/midi", "-midi"}, "midi=1");
        rows({"nomidi", "/nomidi", "-nomidi"}, "midi=0");
        rows({"ltc", "/ltc", "-ltc"}, "ltc=1");
        rows({"noltc", "/noltc", "-noltc"}, "ltc=0");
        rows({"truedrop", "/truedrop", "-truedrop"}, "truedrop=1");
        rows({"notruedrop", "/notruedrop", "-notruedrop"}, "truedrop=0");
        rows({"osc", "/osc", "-osc"}, "osc=1");
        rows({"noosc", "/noosc", "-noosc"}, "osc=0");
        rows({"web", "/web", "-web"}, "web=1");
        rows({"noweb", "/noweb", "-noweb"}, "web=0");
        rows({"headless"}, "headless");
        rows({"fullscreen", "--fullscreen", "/fullscreen", "-fullscreen"}, "fullscreen");
        rows({"follow", "/follow", "-follow"}, "place=-4");
        // A standby follows from the start.
        rows({"standby", "/standby", "-standby"}, "standby=-4");
        // Look-alikes that are not forms of anything.
        rows({"-version",    "/help",      "--p1",     "--24fps",
              "-playlist",   "--artnet",   "Help",     "P1",
              "p10",         "p",          "-",        "",
              "verbose ",    "--h",        "/?",       "-noupdatecheck",
              "--starttime", "--ltc",      "LTC",      "--headless",
              "Headless",    "--truedrop", "TrueDrop", "Fullscreen",
              "F11",         "--follow",   "Standby",  "--osc",
              "Web"},
             "unknown");
    }

    void forms()
    {
        const auto [arg, expect] = Table::fetch<QString, QString>("arg", "expect");

        if (expect == "unknown")
            QTest::ignoreMessage(
                QtDebugMsg, qPrintable(QStringLiteral("skip unknown parameter \"%1\"").arg(arg)));
        const CommandLineOptions o = parse({arg});

        const QString key = expect.section('=', 0, 0);
        const int value = expect.section('=', 1).toInt();
        QCOMPARE(o.versionShown, key == "version");
        QCOMPARE(o.helpShown, key == "help");
        QCOMPARE(o.verbosePresent, key == "verbose");
        QCOMPARE(o.verbose, key == "verbose");
        QCOMPARE(o.playlistPresent, key == "playlist");
        QCOMPARE(o.playlist, key == "playlist" && value == 1);
        QCOMPARE(o.noupdatecheck, key == "noupdatecheck");
        QCOMPARE(o.formatPresent, key == "format");
        QCOMPARE(o.format, key == "format" ? value : 0);
        QCOMPARE(o.placePresent, key == "place" || key == "standby");
        QCOMPARE(o.place, key == "place" || key == "standby" ? value : 0);
        QCOMPARE(o.standby, key == "standby");
        for (const auto &[name, present, on] :
             std::initializer_list<std::tuple<const char *, bool, bool>>{
                 {"artnet", o.artnetPresent, o.artnet},
                 {"midi", o.midiPresent, o.midi},
                 {"ltc", o.ltcPresent, o.ltc},
                 {"truedrop", o.trueDropPresent, o.trueDrop},
                 {"osc", o.oscPresent, o.osc},
                 {"web", o.webPresent, o.web}})
            QVERIFY2(present == (key == name) && on == (key == name && value == 1), name);
        QCOMPARE(o.headless, key == "headless");
        QCOMPARE(o.fullscreen, key == "fullscreen");
        QByteArray raw = arg.toLocal8Bit();
        char *argv[] = {const_cast<char *>("orvello"), raw.data()};
        QCOMPARE(CommandLineParser::asksForHeadless(2, argv), key == "headless");
    }

    void unknownArgumentsAreReportedButNotTheProgram()
    {
        // The first argument is the program, whatever it says.
        QTest::failOnWarning(QRegularExpression(".*"));
        QTest::ignoreMessage(QtDebugMsg, "skip unknown parameter \"bogus\"");
        const CommandLineOptions o =
            CommandLineParser::parse({QStringLiteral("-version"), QStringLiteral("bogus"),
                                      QStringLiteral("starttime"), QStringLiteral("p2")},
                                     nullptr);
        QVERIFY(!o.versionShown);
        QVERIFY(o.placePresent);
        QCOMPARE(o.place, 1);
    }

    void laterOverridesEarlier()
    {
        CommandLineOptions o = parse({"25fps", "30fps", "p3", "p0", "artnet", "noartnet", "nomidi",
                                      "midi", "noplaylist", "playlist", "ltc", "noltc"});
        QCOMPARE(o.format, 3);
        QCOMPARE(o.place, -3);
        QVERIFY(o.artnetPresent && !o.artnet);
        QVERIFY(o.midiPresent && o.midi);
        QVERIFY(o.playlistPresent && o.playlist);
        QVERIFY(o.ltcPresent && !o.ltc);
    }

    // Runs the built program with no display at all: version and help must still
    // answer, byte for byte, and later arguments are still examined.
    void versionAndHelpBytesFromTheProgram()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.remove("QT_QPA_PLATFORM");
        env.insert("LANG", "C");
        env.insert("LC_ALL", "C");

        const QByteArray versionLine =
            QByteArray("Orvello v2.0.0.1 (2.0.0.1) compiled ") + Version::BuildDate + "\n";
        QCOMPARE(versionLine, CommandLineParser::versionLine().toLatin1());

        QProcess p;
        p.setProcessEnvironment(env);
        p.start(ORVELLO_BINARY, {"--version", "whatever"});
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);
        QCOMPARE(p.readAllStandardOutput(), versionLine + "\n");
        QVERIFY(p.readAllStandardError().contains("skip unknown parameter \"whatever\""));

        p.start(ORVELLO_BINARY, {"?"});
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), 0);
        const QByteArray help = p.readAllStandardOutput();
        QCOMPARE(help, versionLine + CommandLineParser::helpText().toLatin1() + "\n");
    }

    void helpLayout()
    {
        const QStringList lines = CommandLineParser::helpText().split('\n');
        QCOMPARE(lines.first(), QString()); // begins with a line end
        QStringList names;
        for (int i = 1; i < lines.size(); ++i) {
            QCOMPARE(lines[i].mid(14, 2), QStringLiteral("- "));
            names << lines[i].left(14).trimmed();
        }
        QCOMPARE(names.join(' '),
                 QStringLiteral("help version ? headless fullscreen systemtime playlist noplaylist "
                                "noupdatecheck 24fps 25fps 30drop 30fps p0 p1 p2 p3 p4 p5 p6 p7 p8 "
                                "p9 artnet noartnet midi nomidi ltc noltc truedrop notruedrop "
                                "follow standby osc noosc web noweb verbose --export FILE "
                                "--import FILE"));
        QCOMPARE(lines[23], QStringLiteral("p9            - activated place 9"));
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
