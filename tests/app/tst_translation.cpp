#include "commandlineoptions.h"
#include "translation.h"

#include <QTranslator>
#include <QtTest>

class TestTranslation : public QObject
{
    Q_OBJECT
private slots:
    void germanFilePresent();
    void noMatchingFileKeepsEnglish();
};

// The build compiles Orvello_de.ts next to the program; "de_DE" finds it
// through the framework's fallback from "Orvello_de_DE" to "Orvello_de".
void TestTranslation::germanFilePresent()
{
    QTranslator translator;
    QVERIFY(installTranslation(translator, QStringLiteral(ORVELLO_QM_DIR), QLocale("de_DE")));
    QCOMPARE(QCoreApplication::translate("Orvello", "this help"), QStringLiteral("diese Hilfe"));
    QVERIFY(CommandLineParser::helpText().contains("help          - diese Hilfe"));
    QVERIFY(CommandLineParser::helpText().contains(
        "--import FILE - DATEI in die gespeicherte Konfiguration lesen und beenden"));
    QCoreApplication::removeTranslator(&translator);
}

void TestTranslation::noMatchingFileKeepsEnglish()
{
    QTranslator translator;
    QVERIFY(!installTranslation(translator, QStringLiteral(ORVELLO_QM_DIR), QLocale("fr_FR")));
    QVERIFY(translator.isEmpty());
    QCOMPARE(QCoreApplication::translate("Orvello", "this help"), QStringLiteral("this help"));

    QTemporaryDir empty;
    QVERIFY(!installTranslation(translator, empty.path(), QLocale("de_DE")));
    QCOMPARE(QCoreApplication::translate("Orvello", "this help"), QStringLiteral("this help"));
}

QTEST_GUILESS_MAIN(TestTranslation)
#include "tst_translation.moc"
