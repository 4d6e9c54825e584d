#include "headlessentry.h"

#include "headlessrunner.h"
#include "terminationsignals.h"
#include "translation.h"
#include "version.h"

#include <QCoreApplication>
#include <QTranslator>

#include <unistd.h>

DebugOutput::DebugOutput() : m_writer(STDERR_FILENO)
{
    s_writer = &m_writer;
    m_previous = qInstallMessageHandler(&DebugOutput::handle);
}

DebugOutput::~DebugOutput()
{
    qInstallMessageHandler(m_previous);
    s_writer = nullptr;
}

void DebugOutput::handle(QtMsgType type, const QMessageLogContext &context, const QString &text)
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

void setProgramIdentity()
{
    QCoreApplication::setOrganizationName(QLatin1String(Maker::Organisation));
    QCoreApplication::setApplicationName(QLatin1String(Maker::Application));
}

int runHeadless(int argc, char *argv[])
{
    // Qt's own event dispatcher costs less per wake-up than the GLib one, and
    // a console run has no GLib-based library that needs the latter.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    const DebugOutput debugOutput;
    QCoreApplication app(argc, argv);
    setProgramIdentity();
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
