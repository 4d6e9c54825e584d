#include "httpstub.h"
#include "orvello.h"
#include "privatenetwork.h"
#include "settingsstore.h"
#include "updateserver.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>
#include <QtWidgets>

// The window's side of the update check, the help message and the about
// window, against a web server of the test's own.
class TestUpdateWindow : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    static Orvello *open(const QString &server)
    {
        SettingsStore::open()->setValue(QLatin1String(UpdateServer::Key), server);
        return new Orvello(QStringList{QStringLiteral("orvello")});
    }
    static QList<AboutInfo *> aboutWindows()
    {
        QList<AboutInfo *> found;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *about = qobject_cast<AboutInfo *>(w))
                found << about;
        return found;
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

    void manualCheck_data()
    {
        QTest::addColumn<bool>("serverUp");
        QTest::addColumn<QString>("text");
        QTest::newRow("new version")
            << true
            << "<center>A new version 9.1.0.0 is available!</b><br>Download the update here "
               ":<br><a href=\"%1/update_view.php?software=artnetorvello&amp;currentversion=2.0.0."
               "1\">127.0.0.1:%2</a></center>";
        QTest::newRow("no connection")
            << false << "There is no internet connection available to check for updates!";
    }
    void manualCheck()
    {
        QFETCH(bool, serverUp);
        QFETCH(QString, text);
        HttpStub stub;
        stub.pieces = {HttpStub::response("Version:9.1\n")};
        const QString server = serverUp ? stub.url() : QStringLiteral("http://127.0.0.1:1");
        QScopedPointer<Orvello> window(open(server));
        window->CheckForSoftwareUpdate();

        QMessageBox *box = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT(
            (box = window->findChild<QMessageBox *>(QStringLiteral("update_message"))), 5000);
        QVERIFY(box->isVisible());
        QCOMPARE(box->windowTitle(), QStringLiteral("Check for Updates"));
        if (serverUp)
            text = text.arg(server, server.section(QLatin1Char(':'), -1));
        QCOMPARE(box->text(), text);
        // The operator can go on using the window while the answer is shown.
        QVERIFY(!QApplication::activeModalWidget());
        QCOMPARE(SettingsStore::open()->value(UpdateSchedule::LastCheckKey).toString(),
                 QDate::currentDate().toString(QLatin1String(UpdateSchedule::DateFormat)));
    }

    void closeWithRequestInFlight()
    {
        HttpStub stub; // accepts and never answers
        QScopedPointer<Orvello> window(open(stub.url()));
        window->CheckForSoftwareUpdate();
        QTRY_COMPARE(stub.requestLines.size(), 1);
        const QPointer<QThread> thread = window->updateChecker()->thread();
        QElapsedTimer clock;
        clock.start();
        window->close();
        window.reset();
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!thread || thread->isFinished());
    }

    void help()
    {
        QScopedPointer<Orvello> window(open(QStringLiteral("http://mirror.lan:8123")));
        QString shown;
        QTimer::singleShot(0, this, [&shown] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                shown = box->text();
                box->accept();
            }
        });
        window->slotHelp();
        QVERIFY2(shown.contains(QLatin1String(
                     "<a href=\"http://mirror.lan:8123/help.php?software=artnetorvello&amp;"
                     "currentversion=2.0.0.1\">mirror.lan:8123</a>")),
                 qPrintable(shown));
    }

    void aboutOnceUntilDefaults()
    {
        QScopedPointer<Orvello> window(open(QString()));
        window->slotAbout();
        window->slotAbout();
        QCOMPARE(aboutWindows().size(), 1);
        QPointer<AboutInfo> first = aboutWindows().first();
        QVERIFY(first->isVisible());
        first->close();
        window->slotAbout();
        QVERIFY(first->isVisible());

        window->slotSettingsChangedToDefaultExtern();
        QVERIFY(!first);
        window->slotAbout();
        QCOMPARE(aboutWindows().size(), 1);
        window->close();
        QVERIFY(aboutWindows().isEmpty());
    }
};

QTEST_MAIN(TestUpdateWindow)
#include "tst_updatewindow.moc"
