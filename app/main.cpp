#include "commandlineoptions.h"
#include "configcommand.h"
#include "orvello.h"
#include "terminationsignals.h"
#include "translation.h"
#include "version.h"

#include <QApplication>
#include <QTranslator>

namespace
{
void setIdentity()
{
    QCoreApplication::setOrganizationName(QLatin1String(Maker::Organisation));
    QCoreApplication::setApplicationName(QLatin1String(Maker::Application));
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
