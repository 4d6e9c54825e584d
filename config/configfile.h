#pragma once

#include "settingstruct.h"

#include <QString>
#include <QStringList>

class Playlist;

// Writing and reading the configuration file, and the folder the file dialogs
// start in. No widget here: the window shows the failure texts in message
// boxes, the command line writes them to standard error.
namespace ConfigFile
{
enum class Status { Ok, WriteFailed, ReadFailed, ParseFailed };

// A show is about 3 KB; a file many times that is no show, and reading it
// whole would only cost memory.
constexpr qint64 MaxFileBytes = 4 * 1024 * 1024;

struct Result {
    Status status = Status::Ok;
    QString fileName;
    QString systemError;
    // Why a well-formed document is no show; empty for a malformed one.
    QString detail;
    // Values of a file that was read which the settings window cannot show
    // as they are, one text each (ConfigXml::valuesOutOfRange).
    QStringList warnings;

    bool ok() const { return status == Status::Ok; }
    // The warning box's title and text for a failure; empty when ok.
    QString title() const;
    QString message() const;
};

QString extension(); // ".ovxml"
QString fileFilter();
// Adds the extension when the file name itself (not its folder) has no dot.
QString withExtension(const QString &chosen);

Result write(const QString &fileName, const SettingStruct *record, Playlist *playlist);

// Parses the whole file first; only a file that parsed and is a show replaces
// `record` (every field, the interface texts and the MIDI type become
// defaults) and the entries and enabled flag of `playlist`. Either may be
// absent. Refused without changing anything: what is not a regular file
// (never opened, so a FIFO cannot hang the caller), a file over
// MaxFileBytes, a document beyond the bounds of DocumentShape, and one whose
// root is not the configuration's or carries another format version.
Result read(const QString &fileName, SettingStruct *record, Playlist *playlist, bool verbose);

// The user's documents folder, else the home folder; always ends in "/".
QString defaultConfigFolder();
// "path_export_import" of the store, else the default; always ends in "/".
QString loadConfigFolder();
void saveConfigFolder(const QString &folder);
} // namespace ConfigFile
