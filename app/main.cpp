#include "commandlineoptions.h"
#include "orvello.h"
#include "terminationsignals.h"
#include "translation.h"
#include "version.h"

#include <QApplication>
#include <QTranslator>

namespace
{
// Before main: a service manager may stop us while the application object
// is still loading its plugins, which takes tens of milliseconds.
const bool signalsCaught = TerminationSignals::installEarly();

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

    QApplication app(argc, argv);
    setIdentity();
    QTranslator translator;
    installTranslation(translator, QCoreApplication::applicationDirPath());

    int result = 0;
    {
        // Reads what arrived since installEarly(): a signal during start-up
        // waits in the socket until the event loop runs.
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
