#include "httpstub.h"
#include "orvello.h"
#include "privatenetwork.h"
#include "updateserver.h"
#include "windowfixture.h"

#include <QElapsedTimer>
#include <QtTest>
#include <QtWidgets>

// The window's side of the update check and the about window, against a
// web server of the test's own.
class TestUpdateWindow : public QObject
{
    Q_OBJECT
    WindowFixture m_fixture;

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
    void initTestCase() { REQUIRE_PRIVATE_NETWORK(); }
    void init() { m_fixture.freshStore(); }

    void manualCheckShowsNewVersion()
    {
        HttpStub stub;
        stub.pieces = {HttpStub::response("Version:9.1\n")};
        QScopedPointer<Orvello> window(open(stub.url()));
        window->CheckForSoftwareUpdate();

        QMessageBox *box = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT(
            (box = window->findChild<QMessageBox *>(QStringLiteral("update_message"))), 5000);
        QVERIFY(box->isVisible());
        QCOMPARE(box->text(),
                 QStringLiteral("<center>A new version 9.1.0.0 is available!</b><br>Download the "
                                "update here :<br><a href=\"%1/update_view.php?software="
                                "artnetorvello&amp;currentversion=2.0.0.1\">127.0.0.1:%2</a>"
                                "</center>")
                     .arg(stub.url(), stub.url().section(QLatin1Char(':'), -1)));
        // The operator can go on using the window while the answer is shown.
        QVERIFY(!QApplication::activeModalWidget());
        QCOMPARE(SettingsStore::open()->value(UpdateSchedule::LastCheckKey).toString(),
                 QDate::currentDate().toString(QLatin1String(UpdateSchedule::DateFormat)));
    }

    // The automatic check waits 30 s after start so it never competes with
    // the first frames; the operator's own check goes at once.
    void automaticCheckWaitsManualGoesAtOnce()
    {
        HttpStub stub;
        QScopedPointer<Orvello> window(open(stub.url()));
        QSignalSpy asked(window.data(), &Orvello::signalCheckForUpdate);
        SettingsStore::open()->remove(QLatin1String(UpdateSchedule::LastCheckKey));
        window->CheckForSoftwareUpdate(false);
        window->CheckForSoftwareUpdate(true);
        QCOMPARE(asked.count(), 2);
        QCOMPARE(asked.at(0).at(1).toUInt(), 30u);
        QCOMPARE(asked.at(1).at(1).toUInt(), 0u);
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
        QVERIFY2(clock.elapsed() < 1500, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!thread || thread->isFinished());
    }

    // The about window's link follows the server setting, typed as host and port.
    void aboutOnceUntilDefaults()
    {
        QScopedPointer<Orvello> window(open(QStringLiteral(" Mirror.lan:8123 ")));
        window->slotAbout();
        window->slotAbout();
        QCOMPARE(aboutWindows().size(), 1);
        QPointer<AboutInfo> first = aboutWindows().first();
        // Every line is laid out, in order, and its links open in the browser.
        QStringList lines;
        for (int i = 0; i < first->layout()->count(); ++i)
            if (auto *label = qobject_cast<QLabel *>(first->layout()->itemAt(i)->widget())) {
                lines << label->text();
                QCOMPARE(label->openExternalLinks(), label->text().contains("<a "));
            }
        const QRegularExpression order("^.*//mirror.lan:8123/update_view.*\n.*Art-Net Version.*\n"
                                       ".*MIDI Version.*\n.*>Qt</a> version.*$");
        QVERIFY2(order.match(lines.join('\n')).hasMatch(), qPrintable(lines.join('\n')));
        // Escape and Return close it, as they close a dialog.
        for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return}) {
            window->slotAbout();
            QVERIFY(first->isVisible());
            QTest::keyClick(first, key);
            QVERIFY2(!first->isVisible(), qPrintable(QKeySequence(key).toString()));
        }
        window->slotAbout();
        QVERIFY(first->isVisible());

        window->slotSettingsChangedToDefaultExtern();
        QVERIFY(!first);
        window->slotAbout();
        QCOMPARE(aboutWindows().size(), 1);
        QVERIFY(aboutWindows().first()->findChild<QLabel *>("main")->text().contains(
            QLatin1String(">www.orvello.example</a>")));
        window->close();
        QVERIFY(aboutWindows().isEmpty());
    }
};

QTEST_MAIN(TestUpdateWindow)
#include "tst_updatewindow.moc"
