#include "commandlineoptions.h"
#include "configcommand.h"
#include "headlessrunner.h"
#include "orvello.h"
#include "terminationsignals.h"
#include "translation.h"
#include "version.h"

#include <QApplication>
#include <QTranslator>

#include <csignal>

namespace
{
void setIdentity()
{
    QCoreApplication::setOrganizationName(QLatin1String(Maker::Organisation));
    QCoreApplication::setApplicationName(QLatin1String(Maker::Application));
}

// A console application: no platform plugin is loaded and no display is
// opened, so it runs on machines without any window system.
int runHeadless(int argc, char *argv[])
{
    // A service's log reader may go away; its lines are then lost, the show
    // goes on.
    std::signal(SIGPIPE, SIG_IGN);
    // Qt's own event dispatcher costs less per wake-up than the GLib one, and
    // a console run has no GLib-based library that needs the latter.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    setIdentity();
    QTranslator translator;
    installTranslation(translator, QCoreApplication::applicationDirPath());

    TerminationSignals termination;
    // Destroyed before the application: it stops the workers, waits for
    // their threads and saves the keys.
    HeadlessRunner runner(QCoreApplication::arguments());
    QObject::connect(&termination, &TerminationSignals::terminationRequested, &app,
                     &QCoreApplication::quit);
    QObject::connect(&runner, &HeadlessRunner::exitRequested, &app, &QCoreApplication::quit);
    runner.start();
    return app.exec();
}
} // namespace

int main(int argc, char *argv[])
{
    // Version and help are answered without a window, so they also work on a
    // console without any display.
    if (CommandLineParser::asksForTextOnly(argc, argv)) {
        QCoreApplication app(argc, argv);
        setIdentity();
        QTranslator translator;
        installTranslation(translator, QCoreApplication::applicationDirPath());
        CommandLineParser::parse(QCoreApplication::arguments());
        return 0;
    }

    // The configuration file from a shell: no display needed, nothing opened
    // but the store and the file.
    if (CommandLineParser::asksForConfigFile(argc, argv)) {
        QCoreApplication app(argc, argv);
        setIdentity();
        QTranslator translator;
        installTranslation(translator, QCoreApplication::applicationDirPath());
        return ConfigCommand::run(CommandLineParser::parse(QCoreApplication::arguments()));
    }

    if (CommandLineParser::asksForHeadless(argc, argv))
        return runHeadless(argc, argv);

    QApplication app(argc, argv);
    setIdentity();
    QTranslator translator;
    installTranslation(translator, QCoreApplication::applicationDirPath());

    int result = 0;
    {
        // Installed before the window exists, so a signal during start-up is
        // not lost: it waits in the socket until the event loop runs.
        TerminationSignals termination;
        Orvello window;
        // Like the close button: the workers stop and the loop ends; the
        // explicit quit also covers a window that was never shown.
        QObject::connect(&termination, &TerminationSignals::terminationRequested, &window,
                         [&window]() {
                             if (window.close())
                                 QCoreApplication::quit();
                         });
        window.show();
        result = app.exec();
    }
    return result;
}
