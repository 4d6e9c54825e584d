#pragma once
// The window as an operator meets it, on a store of the test's own that each
// test function starts empty: call freshStore() from init(), close() from
// cleanup().

#include "orvello.h"
#include "settingsstore.h"

#include <QTemporaryDir>
#include <QtTest>

struct WindowFixture {
    QTemporaryDir dir;
    Orvello *window = nullptr;

    ~WindowFixture() { close(); }
    QString storePath() const { return dir.filePath(QStringLiteral("store.conf")); }
    void freshStore()
    {
        QVERIFY(dir.isValid());
        QFile::remove(storePath());
        SettingsStore::useFile(storePath());
    }
    // Shown and active, so keys typed go where an operator's would.
    Orvello *open(const QStringList &args = {})
    {
        close();
        window = new Orvello(QStringList{QStringLiteral("orvello")} + args);
        window->show();
        QApplication::setActiveWindow(window);
        if (!QTest::qWaitForWindowActive(window))
            qWarning("window did not become active");
        return window;
    }
    void close()
    {
        delete window;
        window = nullptr;
    }
};
