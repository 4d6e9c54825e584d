#include "configcommand.h"

#include "configfile.h"
#include "playlist.h"
#include "settingstruct.h"
#include "terminationsignals.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdlib>
#include <iterator>

namespace
{
int fail(FILE *err, const QString &text)
{
    const QByteArray bytes = (text + QLatin1Char('\n')).toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), err);
    std::fflush(err);
    return 1;
}

QString tr(const char *text)
{
    return QCoreApplication::translate("Orvello", text);
}

void write(FILE *err, const QString &text)
{
    const QByteArray bytes = (text + QLatin1Char('\n')).toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), err);
}

// While the file is read and checked, a request to stop ends the process at
// once, the default way: nothing has been written, so there is nothing to
// finish. For the few milliseconds of writing the store the program's own
// handlers are back, so a signal then waits until the store is whole.
class StopSignals
{
public:
    StopSignals()
    {
        struct sigaction defaults = {};
        defaults.sa_handler = SIG_DFL;
        sigemptyset(&defaults.sa_mask);
        for (int i = 0; i < Count; ++i)
            ::sigaction(Numbers[i], &defaults, &m_caught[i]);
    }
    void holdForWrite()
    {
        for (int i = 0; i < Count; ++i)
            ::sigaction(Numbers[i], &m_caught[i], nullptr);
    }

    // A signal caught by the program's handlers (while it started, or while
    // the store was written) waits for an event loop that this command never
    // runs: it ends the command now, the default way.
    static void endIfCaught()
    {
        TerminationSignals early;
        int caught = 0;
        QObject::connect(&early, &TerminationSignals::terminationRequested,
                         [&caught](int signalNumber) { caught = signalNumber; });
        QCoreApplication::processEvents();
        if (caught) {
            std::raise(caught);
            std::_Exit(128 + caught); // not reached: the default action ends the process
        }
    }

private:
    static constexpr int Numbers[] = {SIGINT, SIGTERM, SIGHUP};
    static constexpr int Count = int(std::size(Numbers));
    struct sigaction m_caught[Count] = {};
};
} // namespace

namespace ConfigCommand
{
int run(const CommandLineOptions &options, FILE *err)
{
    if (options.configFileMissing)
        return fail(err, tr("--export and --import need a file name"));
    if (!options.exportFile.isEmpty() && !options.importFile.isEmpty())
        return fail(err, tr("--export and --import cannot be given together"));

    SettingStruct record;
    // Never started: it only carries the entries between store and file.
    Playlist playlist(options.verbose);

    if (!options.exportFile.isEmpty()) {
        record.setDefaults();
        record.loadFromStore();
        playlist.loadPlaylistFromStore(false, false);
        const ConfigFile::Result result = ConfigFile::write(options.exportFile, &record, &playlist);
        return result.ok() ? 0 : fail(err, result.message());
    }

    StopSignals stopSignals;
    StopSignals::endIfCaught();
    const ConfigFile::Result result =
        ConfigFile::read(options.importFile, &record, &playlist, options.verbose);
    if (!result.ok())
        return fail(err, result.message());
    // Taken as the file has them, but worth a look before the show.
    for (const QString &warning : result.warnings)
        write(err, options.importFile + QStringLiteral(": ") + warning);
    std::fflush(err);

    stopSignals.holdForWrite();
    record.saveToStore();
    playlist.savePlaylistToStore();
    StopSignals::endIfCaught();
    return 0;
}
} // namespace ConfigCommand
