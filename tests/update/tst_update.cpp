#include "checksoftwareupdate.h"
#include "httpstub.h"
#include "privatenetwork.h"
#include "settingsstore.h"
#include "table.h"
#include "updatereply.h"
#include "updateserver.h"

#include <QElapsedTimer>
#include <QNetworkReply>
#include <QTemporaryDir>
#include <QtTest>

namespace
{
const QString NoUpdate = QStringLiteral("There is no update available!");
const QString NoConnection =
    QStringLiteral("There is no internet connection available to check for updates!");
constexpr int GiveUpMs = 1000;
const QDate Today(2026, 3, 10);

QNetworkReply *lastReply(const CheckSoftwareUpdate &checker)
{
    const auto replies = checker.findChildren<QNetworkReply *>();
    return replies.isEmpty() ? nullptr : replies.last();
}
} // namespace

class TestUpdate : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

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
        // pieces empty: accepted, never answered; expected empty: nothing shown, %1: host:port
        Table::columns<QByteArrayList, bool, bool, bool, QString, int>(
            "pieces", "serverUp", "keepOpen", "manual", "expected", "requests");
        auto ok = [](const QByteArray &body) { return HttpStub::response(body); };
        const QByteArray same = ok("version:2.0.0.1\n");
        auto row = [](const char *name, const QByteArrayList &pieces, bool up, bool keepOpen,
                      bool manual, const QString &expected, int requests = 1) {
            QTest::newRow(name) << pieces << up << keepOpen << manual << expected << requests;
        };
        // 299 is a success like 200, so its version line answers.
        row("same version, manual, 299", {HttpStub::response("version:2.0.0.1\n", 299)}, true,
            false, true, NoUpdate);
        row("same version, automatic", {same}, true, false, false, QString());
        row("blank line, then newer on the third", {ok("\nversion:1.0.0.0\r\nversion:2.5.0.0\r\n")},
            true, false, false, "new 2.5.0.0 (2.5.0.0)");
        row("split inside the marker, the last line ended by CR alone",
            {ok("hello\nvers"), "ion:2.2\r"}, true, false, true, "new 2.2.0.0 (2.2.0.0)");
        row("400 page offering a version",
            {HttpStub::response("version:9.9\n", 400, "<b>Bad</b>\x7f & so")}, true, false, true,
            "The update server %1 answered 400 bBad/b  so.");
        row("500, automatic", {HttpStub::response("", 500)}, true, false, false, QString());
        row("empty body", {ok("")}, true, false, true, NoConnection);
        row("body cut short", {"HTTP/1.1 200 OK\r\nContent-Length: 99\r\n\r\nversion:2.0.0.1\n"},
            true, false, true, NoConnection);
        row("zero byte ends the body", {same, QByteArray(1, '\0'), "version:9.9\n"}, true, true,
            true, NoUpdate);
        row("body without a version line", {ok("<html>moved</html>\n")}, true, false, true,
            NoConnection);
        row("damaged version line",
            {ok("version:\xff"
                "9.9.9.9\xc0\xaf\n")},
            true, false, true, NoConnection);
        QByteArrayList headers{"HTTP/1.1 200 OK\r\n"};
        for (int i = 0; i < 40; ++i)
            headers << "X-Pad: " + QByteArray::number(i) + "\r\n";
        row("header lines forever", headers, true, true, true, NoConnection);
        QByteArrayList trickle{ok("")};
        for (char c : QByteArray("version:9.9.9.9 and on and on and on"))
            trickle << QByteArray(1, c);
        row("a byte at a time", trickle, true, true, true, NoConnection);
        row("redirect loop",
            {"HTTP/1.1 302 Found\r\nLocation: /update_check.php?software=orvelloapp\r\n"
             "Content-Length: 0\r\nConnection: close\r\n\r\n"},
            true, false, true, NoConnection, 4);
        row("no server, manual", {}, false, false, true, NoConnection);
        row("no server, automatic", {}, false, false, false, QString());
        row("never answers", {}, true, false, true, NoConnection);
    }
    void reply()
    {
        auto [pieces, serverUp, keepOpen, manual, expected, requests] =
            Table::fetch<QByteArrayList, bool, bool, bool, QString, int>(
                "pieces", "serverUp", "keepOpen", "manual", "expected", "requests");
        HttpStub stub;
        stub.pieces = pieces;
        stub.keepOpen = keepOpen;
        // Nothing listens on port 1 in the private namespace.
        SettingsStore::open()->setValue(QLatin1String(UpdateServer::Key),
                                        serverUp ? stub.url() : "http://127.0.0.1:1");

        CheckSoftwareUpdate checker(GiveUpMs);
        prepare(checker, manual);
        QSignalSpy shown(&checker, &CheckSoftwareUpdate::signalViewUpdateRequest);
        QElapsedTimer clock;
        clock.start();
        checker.slotCheckForUpdate(UpdateServer::queryUrl().toString(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(lastReply(checker) && lastReply(checker)->isFinished(), 5000);
        QCoreApplication::processEvents();
        // Nothing the server sent is left waiting in memory.
        QCOMPARE(lastReply(checker)->bytesAvailable(), 0);
        // A request that is not answered in time is given up, however the
        // server keeps it busy.
        QVERIFY2(clock.elapsed() < GiveUpMs + 1500, qPrintable(QString::number(clock.elapsed())));

        QStringList messages;
        for (const QList<QVariant> &args : std::as_const(shown))
            messages << args.at(0).toString();
        expected.replace(QLatin1String("%1"), stub.url().mid(int(qstrlen("http://"))));
        QCOMPARE(messages, expected.isEmpty() ? QStringList() : QStringList{expected});
        if (serverUp)
            QCOMPARE(
                stub.requestLines,
                QByteArrayList(requests, "GET /update_check.php?software=orvelloapp HTTP/1.1"));
    }

    void versionInLine_data()
    {
        // version empty: the line offers none; newer: than 2.0.0.1
        Table::columns<QByteArray, QString, bool>("line", "version", "newer");
        auto row = [](const char *line, const char *version, bool newer) {
            QTest::newRow(line) << QByteArray(line) << QString(version) << newer;
        };
        row("version:2.0.0.1", "2.0.0.1", false);
        row("Version: 2.1 ", "2.1.0.0", true);
        row("new version:3.x.1", "", false);
        row("VERSION:1.2.3.4.5", "", false);
        row("version:3.-1", "", false);
        row("versions: 3.0", "", false);
        // Nine digits is the most a part may have, and 9 is a digit.
        row("version:123456789", "123456789.0.0.0", true);
        row("version:1234567890", "", false);
        row("version:0.1", "0.1.0.0", false);
        row("version:0.0.1", "0.0.1.0", false);
    }
    void versionInLine()
    {
        const auto [line, version, newer] =
            Table::fetch<QByteArray, QString, bool>("line", "version", "newer");
        const auto offered = UpdateReply::versionInLine(line);
        QCOMPARE(offered ? UpdateReply::toText(*offered) : QString(), version);
        QCOMPARE(offered && UpdateReply::isNewer(*offered, {2, 0, 0, 1}), newer);
        // Than a running version that was never set, every offer but 0 is newer.
        QCOMPARE(offered && UpdateReply::isNewer(*offered, {}),
                 offered && *offered != SoftwareVersion{});
    }

    // A manual check while an automatic one waits: both ask; the later request
    // replaces the earlier one still in flight, which then stays quiet; and the
    // automatic one, too, reports "no update" once the manual one has run.
    void manualWhileAutomaticWaits()
    {
        HttpStub stub;
        stub.ignoreFirst = 1;
        stub.pieces = {HttpStub::response("version:2.0.0.1\n")};
        // Long enough that the first request is still waiting when it is replaced.
        CheckSoftwareUpdate checker(3 * GiveUpMs);
        QSignalSpy shown(&checker, &CheckSoftwareUpdate::signalViewUpdateRequest);
        prepare(checker, false);
        checker.slotCheckForUpdate(stub.url(), 1);
        prepare(checker, true);
        checker.slotCheckForUpdate(stub.url(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(shown.count(), 1, 3000);
        QCOMPARE(stub.requestLines.size(), 2);
        QTest::qWait(300);
        QCOMPARE(shown.count(), 1);
        QCOMPARE(shown.at(0).at(0).toString(), NoUpdate);
    }

    // The size limit ends the body at once; the line it cuts is dropped.
    void limitEndsBody()
    {
        ReplyLines lines(8);
        QCOMPARE(lines.append("ab\ncdefghij"), QByteArrayList{"ab"});
        QVERIFY(lines.ended());
        QVERIFY(!lines.finish());
    }

    // Without an http or https host the setting names the default server.
    void serverSetting()
    {
        for (const char *setting : {"http://", "ftp://m.lan", " "})
            QCOMPARE(UpdateServer::baseFrom(setting), QUrl(UpdateServer::DefaultServer));
        // The error names the port in use, an https one after a redirect too.
        QCOMPARE(CheckSoftwareUpdate::serverPort(QUrl("http://u.example/v")), 80);
        QCOMPARE(CheckSoftwareUpdate::serverPort(QUrl("https://u.example/v")), 443);
        QCOMPARE(CheckSoftwareUpdate::serverPort(QUrl("https://u.example:8443/v")), 8443);
    }

    void sevenDayRule_data()
    {
        Table::columns<QVariant, bool, bool>("stored", "manual", "runs"); // invalid: no key
        auto date = [](int days) { return QVariant(Today.addDays(days).toString("dd.MM.yyyy")); };
        using Table::row;
        row("never checked", QVariant(), false, true);
        row("six days ago", date(-6), false, false);
        row("seven days ago", date(-7), false, true);
        row("six days ahead", date(6), false, false);
        row("seven days ahead", date(7), false, true);
        row("not a date", QVariant("31.02.2026"), false, true);
        row("manual, three days ago", date(-3), true, true);
    }
    void sevenDayRule()
    {
        const auto [stored, manual, runs] =
            Table::fetch<QVariant, bool, bool>("stored", "manual", "runs");
        if (stored.isValid())
            SettingsStore::open()->setValue(UpdateSchedule::LastCheckKey, stored);
        QCOMPARE(UpdateSchedule::beginCheck(!manual, Today), runs);
        const QVariant after = SettingsStore::open()->value(UpdateSchedule::LastCheckKey);
        QCOMPARE(after, runs ? QVariant(QStringLiteral("10.03.2026")) : stored);
    }
};

QTEST_MAIN(TestUpdate)
#include "tst_update.moc"
