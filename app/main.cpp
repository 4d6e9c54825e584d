#include "commandlineoptions.h"
#include "configcommand.h"
#include "headlessentry.h"
#include "orvello.h"
#include "terminationsignals.h"
#include "translation.h"

#include <QApplication>
#include <QTranslator>

#include <climits>
#include <string>
#include <string_view>
#include <unistd.h>

namespace
{
// `orvello headless` goes on in the service program (servicemain.cpp), which
// links no window libraries: same process, same arguments. It sits beside
// this program in a build tree and in the private program folder of an
// install. Where it cannot be started, the run stays in this program.
void handOverToServiceProgram(char *argv[])
{
    char self[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        return;
    self[length] = '\0';
    const std::string folder(self, std::string_view(self).rfind('/') + 1);
    for (const char *relative : {"orvello-headless", ORVELLO_SERVICE_PROGRAM}) {
        std::string program = folder + relative;
        if (::access(program.c_str(), X_OK) != 0)
            continue;
        TerminationSignals::holdForExec();
        argv[0] = program.data();
        ::execv(program.c_str(), argv);
        TerminationSignals::releaseHeld();
    }
}
} // namespace

int main(int argc, char *argv[])
{
    // Version and help are answered without a window, so they also work on a
    // console without any display.
    if (CommandLineParser::asksForTextOnly(argc, argv)) {
        QCoreApplication app(argc, argv);
        setProgramIdentity();
        QTranslator translator;
        installProgramTranslation(translator);
        CommandLineParser::parse(QCoreApplication::arguments());
        return 0;
    }

    // The configuration file from a shell: no display needed, nothing opened
    // but the store and the file.
    if (CommandLineParser::asksForConfigFile(argc, argv)) {
        QCoreApplication app(argc, argv);
        setProgramIdentity();
        QTranslator translator;
        installProgramTranslation(translator);
        return ConfigCommand::run(CommandLineParser::parse(QCoreApplication::arguments()));
    }

    if (CommandLineParser::asksForHeadless(argc, argv)) {
        handOverToServiceProgram(argv);
        return runHeadless(argc, argv);
    }

    // Outlives the application object, whose end may still report.
    const DebugOutput debugOutput;
    QApplication app(argc, argv);
    setProgramIdentity();
    QTranslator translator;
    installProgramTranslation(translator);

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
