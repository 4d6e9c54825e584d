#include "commandlineoptions.h"
#include "configcommand.h"
#include "headlessrunner.h"
#include "linewriter.h"
#include "orvello.h"
#include "terminationsignals.h"
#include "translation.h"
#include "version.h"

#include <QApplication>
#include <QTranslator>

#include <atomic>
#include <unistd.h>

namespace
{
// Before main: a service manager may stop us while the application object
// is still loading its plugins, which takes tens of milliseconds.
const bool signalsCaught = TerminationSignals::installEarly();

// Debug and warning texts of every thread (the MIDI output's errors among
// them) go to standard error through a writer of their own, so a stalled
// stderr never holds up a worker. A fatal text is written at once: the
// process aborts right after.
class DebugOutput
{
public:
    DebugOutput() : m_writer(STDERR_FILENO)
    {
        s_writer = &m_writer;
        m_previous = qInstallMessageHandler(&DebugOutput::handle);
    }
    ~DebugOutput()
    {
        qInstallMessageHandler(m_previous);
        s_writer = nullptr;
    }

private:
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &text)
    {
        const QByteArray line = qFormatLogMessage(type, context, text).toLocal8Bit() + '\n';
        LineWriter *writer = s_writer;
        if (type != QtFatalMsg && writer) {
            writer->append(line);
            return;
        }
        [[maybe_unused]] const ssize_t written =
            ::write(STDERR_FILENO, line.constData(), size_t(line.size()));
    }

    static inline std::atomic<LineWriter *> s_writer{nullptr};
    LineWriter m_writer;
    QtMessageHandler m_previous = nullptr;
};

void setIdentity()
{
    QCoreApplication::setOrganizationName(QLatin1String(Maker::Organisation));
    QCoreApplication::setApplicationName(QLatin1String(Maker::Application));
}

// A console application: no platform plugin is loaded and no display is
// opened, so it runs on machines without any window system.
int runHeadless(int argc, char *argv[])
{
    // Qt's own event dispatcher costs less per wake-up than the GLib one, and
    // a console run has no GLib-based library that needs the latter.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    // Outlives the application object, whose end may still report.
    const DebugOutput debugOutput;
    QCoreApplication app(argc, argv);
    setIdentity();
    QTranslator translator;
    installProgramTranslation(translator);

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
        installProgramTranslation(translator);
        CommandLineParser::parse(QCoreApplication::arguments());
        return 0;
    }

    // The configuration file from a shell: no display needed, nothing opened
    // but the store and the file.
    if (CommandLineParser::asksForConfigFile(argc, argv)) {
        QCoreApplication app(argc, argv);
        setIdentity();
        QTranslator translator;
        installProgramTranslation(translator);
        return ConfigCommand::run(CommandLineParser::parse(QCoreApplication::arguments()));
    }

    if (CommandLineParser::asksForHeadless(argc, argv))
        return runHeadless(argc, argv);

    // Outlives the application object, whose end may still report.
    const DebugOutput debugOutput;
    QApplication app(argc, argv);
    setIdentity();
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
