#include "aboutinfo.h"
#include "checksoftwareupdate.h"
#include "httpstub.h"
#include "privatenetwork.h"
#include "settingsstore.h"
#include "updatereply.h"
#include "updateserver.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QNetworkReply>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace
{
const QString NoUpdate = QStringLiteral("There is no update available!");
const QString NoConnection =
    QStringLiteral("There is no internet connection available to check for updates!");
constexpr int GiveUpMs = 1000;

bool replyFinished(const CheckSoftwareUpdate &checker)
{
    const auto replies = checker.findChildren<QNetworkReply *>();
    return !replies.isEmpty() && replies.last()->isFinished();
}
} // namespace

class TestUpdate : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    void useServer(const QString &url)
    {
        SettingsStore::open()->setValue(QLatin1String(UpdateServer::Key), url);
    }
    static void prepare(CheckSoftwareUpdate &checker, bool manual)
    {
        if (manual)
            checker.setGiveInfoForNoUpdates();
        checker.setMessageTemplate(QStringLiteral("new $$$VERSION$$$ ($$$VERSION$$$)"));
        checker.setCurrentVersion(2, 0, 0, 1);
    }

private slots:
    void initTestCase()
    {
        REQUIRE_PRIVATE_NETWORK();
        QVERIFY(m_dir.isValid());
    }
    void init()
    {
        QFile::remove(m_dir.filePath(QStringLiteral("store.conf")));
        SettingsStore::useFile(m_dir.filePath(QStringLiteral("store.conf")));
    }

    void reply_data()
    {
        QTest::addColumn<QByteArrayList>("pieces"); // empty: accepted, never answered
        QTest::addColumn<bool>("serverUp");
        QTest::addColumn<bool>("keepOpen");
        QTest::addColumn<bool>("manual");
        QTest::addColumn<QString>("expected"); // empty: nothing is shown
        auto ok = [](const QByteArray &body) { return HttpStub::response(body); };
        const QByteArray filler = QByteArray(1023, 'x') + '\n';

        QTest::newRow("same version, manual")
            << QByteArrayList{ok("version:2.0.0.1\n")} << true << false << true << NoUpdate;
        QTest::newRow("same version, automatic")
            << QByteArrayList{ok("version:2.0.0.1\n")} << true << false << false << QString();
        QTest::newRow("capital V, two parts")
            << QByteArrayList{ok("Version:2.1\n")} << true << false << false
            << QStringLiteral("new 2.1.0.0 (2.1.0.0)");
        QTest::newRow("part that is no number")
            << QByteArrayList{ok("release version:3.x.1\r\n")} << true << false << true
            << QStringLiteral("new 3.1.0.0 (3.1.0.0)");
        QTest::newRow("all zero") << QByteArrayList{ok("version:0.0.0.0\n")} << true << false
                                  << true << NoUpdate;
        QTest::newRow("second line newer")
            << QByteArrayList{ok("version:1.0.0.0\nversion:2.5.0.0\n")} << true << false << true
            << QStringLiteral("new 2.5.0.0 (2.5.0.0)");
        QTest::newRow("split inside the number")
            << QByteArrayList{ok("Version:3"), ".1\r\n"} << true << false << true
            << QStringLiteral("new 3.1.0.0 (3.1.0.0)");
        QTest::newRow("split inside the marker, no last line end")
            << QByteArrayList{ok("hello\nvers"), "ion:2.2"} << true << false << true
            << QStringLiteral("new 2.2.0.0 (2.2.0.0)");
        QTest::newRow("zero byte ends the text")
            << QByteArrayList{ok(QByteArray("version:2.4\0version:9.9\n", 24))} << true << false
            << true << QStringLiteral("new 2.4.0.0 (2.4.0.0)");
        QTest::newRow("error page")
            << QByteArrayList{HttpStub::response("Not found. version:9.9\n", 404)} << true << false
            << true << NoUpdate;
        QTest::newRow("endless body, version after 64 KiB")
            << QByteArrayList{ok(""), filler.repeated(80), "version:9.9\n"} << true << true << true
            << NoUpdate;
        QTest::newRow("no server, manual")
            << QByteArrayList{} << false << false << true << NoConnection;
        QTest::newRow("no server, automatic")
            << QByteArrayList{} << false << false << false << QString();
        QTest::newRow("never answers") << QByteArrayList{} << true << false << true << NoConnection;
    }
    void reply()
    {
        QFETCH(QByteArrayList, pieces);
        QFETCH(bool, serverUp);
        QFETCH(bool, keepOpen);
        QFETCH(bool, manual);
        QFETCH(QString, expected);
        HttpStub stub;
        stub.pieces = pieces;
        stub.keepOpen = keepOpen;
        // Nothing listens on port 1 in the private namespace.
        useServer(serverUp ? stub.url() : QStringLiteral("http://127.0.0.1:1"));

        CheckSoftwareUpdate checker(GiveUpMs);
        prepare(checker, manual);
        QSignalSpy shown(&checker, &CheckSoftwareUpdate::signalViewUpdateRequest);
        QElapsedTimer clock;
        clock.start();
        checker.slotCheckForUpdate(UpdateServer::queryUrl().toString(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(replyFinished(checker), 5000);
        QCoreApplication::processEvents();
        // A request that is not answered is given up, not waited for.
        QVERIFY2(clock.elapsed() < GiveUpMs + 1500, qPrintable(QString::number(clock.elapsed())));

        const QStringList messages = [&] {
            QStringList all;
            for (const QList<QVariant> &args : std::as_const(shown))
                all << args.at(0).toString();
            return all;
        }();
        QCOMPARE(messages, expected.isEmpty() ? QStringList() : QStringList{expected});
        if (serverUp)
            QCOMPARE(stub.requestLines,
                     QByteArrayList{"GET /update_check.php?software=orvelloapp HTTP/1.1"});
    }

    void versionInLine_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QList<int>>("version"); // empty: the line offers none
        QTest::newRow("no marker") << QByteArray("versions: 3.0") << QList<int>{};
        QTest::newRow("more than four parts")
            << QByteArray("VERSION:1.2.3.4.5") << QList<int>{1, 2, 3, 4};
        QTest::newRow("empty and negative parts skipped")
            << QByteArray("x version:..7.-1.+2") << QList<int>{7, 2, 0, 0};
        QTest::newRow("marker alone") << QByteArray("version:") << QList<int>{0, 0, 0, 0};
    }
    void versionInLine()
    {
        QFETCH(QByteArray, line);
        QFETCH(QList<int>, version);
        const auto offered = UpdateReply::versionInLine(line);
        QCOMPARE(offered.has_value(), !version.isEmpty());
        if (offered)
            QCOMPARE(QList<int>(offered->begin(), offered->end()), version);
    }

    // Both the waiting automatic check and the manual one ask, and once the
    // manual one has run, the automatic one reports "no update" too.
    void manualWhileAutomaticWaits()
    {
        HttpStub stub;
        stub.pieces = {HttpStub::response("version:2.0.0.1\n")};
        CheckSoftwareUpdate checker(GiveUpMs);
        QSignalSpy shown(&checker, &CheckSoftwareUpdate::signalViewUpdateRequest);
        prepare(checker, false);
        checker.slotCheckForUpdate(stub.url(QStringLiteral("/q")), 1);
        prepare(checker, true);
        checker.slotCheckForUpdate(stub.url(QStringLiteral("/q")), 0);
        QTRY_COMPARE_WITH_TIMEOUT(shown.count(), 1, 3000);
        QCOMPARE(stub.requestLines.size(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(shown.count(), 2, 3000);
        QCOMPARE(stub.requestLines.size(), 2);
        QCOMPARE(shown.at(1).at(0).toString(), NoUpdate);
    }

    // A newer request replaces one still in flight, and only the newer answers.
    void replacedRequestStaysQuiet()
    {
        HttpStub stub;
        stub.ignoreFirst = 1;
        stub.pieces = {HttpStub::response("version:2.0.0.1\n")};
        CheckSoftwareUpdate checker(GiveUpMs);
        QSignalSpy shown(&checker, &CheckSoftwareUpdate::signalViewUpdateRequest);
        prepare(checker, true);
        checker.slotCheckForUpdate(stub.url(), 0);
        QTRY_COMPARE(stub.requestLines.size(), 1);
        checker.slotCheckForUpdate(stub.url(), 0);
        QTRY_COMPARE(shown.count(), 1);
        QTest::qWait(GiveUpMs + 200); // past the first request's give-up time
        QCOMPARE(shown.count(), 1);
        QCOMPARE(shown.at(0).at(0).toString(), NoUpdate);
    }

    void sevenDayRule_data()
    {
        QTest::addColumn<QVariant>("stored"); // invalid: the key is absent
        QTest::addColumn<bool>("manual");
        QTest::addColumn<bool>("runs");
        const QDate today(2026, 3, 10);
        auto date = [&](int days) { return QVariant(today.addDays(days).toString("dd.MM.yyyy")); };
        QTest::newRow("never checked") << QVariant() << false << true;
        QTest::newRow("three days ago") << date(-3) << false << false;
        QTest::newRow("six days ago") << date(-6) << false << false;
        QTest::newRow("seven days ago") << date(-7) << false << true;
        QTest::newRow("three days ahead") << date(3) << false << false;
        QTest::newRow("eight days ahead") << date(8) << false << true;
        QTest::newRow("not a date") << QVariant("31.02.2026") << false << true;
        QTest::newRow("manual, three days ago") << date(-3) << true << true;
    }
    void sevenDayRule()
    {
        QFETCH(QVariant, stored);
        QFETCH(bool, manual);
        QFETCH(bool, runs);
        const QDate today(2026, 3, 10);
        if (stored.isValid())
            SettingsStore::open()->setValue(UpdateSchedule::LastCheckKey, stored);
        QCOMPARE(UpdateSchedule::beginCheck(!manual, today), runs);
        const QVariant after = SettingsStore::open()->value(UpdateSchedule::LastCheckKey);
        QCOMPARE(after, runs ? QVariant(QStringLiteral("10.03.2026")) : stored);
    }

    void serverSetting_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QString>("base");
        const QString fallback = QLatin1String(UpdateServer::DefaultServer);
        QTest::newRow("empty") << QString() << fallback;
        QTest::newRow("path and query dropped") << "http://127.0.0.1:8080/x/y?z=1"
                                                << "http://127.0.0.1:8080";
        QTest::newRow("host alone") << "Mirror.LAN"
                                    << "http://mirror.lan";
        QTest::newRow("host and port") << "mirror.lan:81"
                                       << "http://mirror.lan:81";
        QTest::newRow("other scheme") << "ftp://mirror.lan" << fallback;
    }
    void serverSetting()
    {
        QFETCH(QString, setting);
        QFETCH(QString, base);
        QCOMPARE(UpdateServer::baseFrom(setting).toString(), base);
    }

    void about_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::newRow("no extra lines") << QString() << QString();
        QTest::newRow("first only") << "Art-Net Version : 1" << QString();
        QTest::newRow("second only") << QString() << "MIDI Version : 2";
        QTest::newRow("both") << "Art-Net Version : 1"
                              << "MIDI Version : 2";
    }
    void about()
    {
        QFETCH(QString, first);
        QFETCH(QString, second);
        useServer(QStringLiteral("http://mirror.lan:8123"));
        AboutInfo about(QString(), first, second);
        about.show();

        QStringList extra;
        QString notice, main;
        for (const QLabel *label : about.findChildren<QLabel *>()) {
            if (label->objectName() == QLatin1String("notice"))
                notice = label->text();
            else if (label->objectName() == QLatin1String("main"))
                main = label->text();
            else
                extra << label->text();
        }
        QStringList wanted;
        for (const QString &line : {first, second})
            if (!line.isEmpty())
                wanted << "<center>" + line + "</center>";
        QCOMPARE(extra, wanted);
        QVERIFY2(notice.contains(QLatin1String(qVersion())), qPrintable(notice));
        QVERIFY2(main.contains(QLatin1String("http://mirror.lan:8123/update_view.php?"
                                             "software=artnetorvello&amp;currentversion=2.0.0.1")),
                 qPrintable(main));

        // OK hides the window and keeps it for the next time.
        QPointer<AboutInfo> alive(&about);
        QTest::mouseClick(about.findChild<QPushButton *>(), Qt::LeftButton);
        QVERIFY(!about.isVisible());
        QVERIFY(alive);
    }
};

QTEST_MAIN(TestUpdate)
#include "tst_update.moc"
