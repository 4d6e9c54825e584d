#include "configcommand.h"

#include "configfile.h"
#include "playlist.h"
#include "settingstruct.h"

#include <QCoreApplication>

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

    const ConfigFile::Result result =
        ConfigFile::read(options.importFile, &record, &playlist, options.verbose);
    if (!result.ok())
        return fail(err, result.message());
    record.saveToStore();
    playlist.savePlaylistToStore();
    return 0;
}
} // namespace ConfigCommand
