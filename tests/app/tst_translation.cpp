#include "commandlineoptions.h"
#include "playlist.h"
#include "table.h"
#include "translation.h"

#include <QFile>
#include <QTranslator>

#include <QtTest>
#include <cstdio>

class TestTranslation : public QObject
{
    Q_OBJECT
private slots:
    // The build compiles Orvello_de.ts next to the program; "de_DE" finds it
    // through the framework's fallback from "Orvello_de_DE" to "Orvello_de".
    void germanFilePresent()
    {
        QTranslator translator;
        QVERIFY(installTranslation(translator, QStringLiteral(ORVELLO_QM_DIR), QLocale("de_DE")));
        QCOMPARE(QCoreApplication::translate("Orvello", "this help"),
                 QStringLiteral("diese Hilfe"));
        QCOMPARE(QCoreApplication::translate("Orvello", "RUNNING"), QStringLiteral("LÄUFT"));
        // The libraries' contexts come from the same file.
        QCOMPARE(Playlist::weekdayText(6, false), QStringLiteral("Sonntag"));
        QVERIFY(CommandLineParser::helpText().contains("help          - diese Hilfe"));
        QVERIFY(CommandLineParser::helpText().contains(
            QStringLiteral("headless      - läuft ohne Fenster, als Dienst")));
        QVERIFY(CommandLineParser::helpText().contains(
            "--import FILE - DATEI in die gespeicherte Konfiguration lesen und beenden"));
        // Written as the locale encodes it, not as Latin-1, which a UTF-8 terminal garbles.
        FILE *file = std::tmpfile();
        QVERIFY(file);
        CommandLineParser::parse({QStringLiteral("orvello"), QStringLiteral("help")}, file);
        std::rewind(file);
        QFile written;
        QVERIFY(written.open(file, QIODevice::ReadOnly));
        const QByteArray bytes = written.readAll();
        std::fclose(file);
        QVERIFY(bytes.contains("automatische Updatepr\xc3\xbc"
                               "fung aus"));
        QVERIFY(QString::fromLocal8Bit(bytes).contains(CommandLineParser::helpText()));
        QCoreApplication::removeTranslator(&translator);
    }

    void noMatchingFileKeepsEnglish()
    {
        QTranslator translator;
        QVERIFY(!installTranslation(translator, QStringLiteral(ORVELLO_QM_DIR), QLocale("fr_FR")));
        QVERIFY(translator.isEmpty());
        QCOMPARE(QCoreApplication::translate("Orvello", "this help"), QStringLiteral("this help"));
    }

    // A program in <root>/bin finds its German file beside itself (build tree) or
    // in <root>/share/orvello/translations (package, cmake --install), not
    // anywhere else.
    void installedLayouts_data()
    {
        using Table::row;
        Table::columns<QString, bool>("qmFolder", "found");
        row("beside the program", QString("bin"), true);
        row("installed data folder", QString("share/orvello/translations"), true);
        row("package's data folder", QString("share/orvello"), false);
        row("none", QString(), false);
    }

    void installedLayouts()
    {
        const auto [qmFolder, found] = Table::fetch<QString, bool>("qmFolder", "found");
        QTemporaryDir root;
        const QDir dir(root.path());
        QVERIFY(dir.mkpath(QStringLiteral("bin")));
        if (!qmFolder.isEmpty()) {
            QVERIFY(dir.mkpath(qmFolder));
            QVERIFY(QFile::copy(QStringLiteral(ORVELLO_QM_DIR "/Orvello_de.qm"),
                                dir.filePath(qmFolder + QStringLiteral("/Orvello_de.qm"))));
        }
        QTranslator translator;
        QCOMPARE(installTranslation(translator, translationDirectories(dir.filePath("bin")),
                                    QLocale("de_DE")),
                 found);
        QCOMPARE(QCoreApplication::translate("Orvello", "this help"),
                 found ? QStringLiteral("diese Hilfe") : QStringLiteral("this help"));
        QCoreApplication::removeTranslator(&translator);
    }
};

QTEST_GUILESS_MAIN(TestTranslation)
#include "tst_translation.moc"
