#pragma once

#include "settingstruct.h"

#include <QString>

class Playlist;

// Writing and reading the configuration file, and the folder the file dialogs
// start in. No widget here: the window shows the failure texts in message
// boxes, the command line writes them to standard error.
namespace ConfigFile
{
enum class Status { Ok, WriteFailed, ReadFailed, ParseFailed };

struct Result {
    Status status = Status::Ok;
    QString fileName;
    QString systemError;

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

// Parses the whole file first; only a file that parsed replaces `record`
// (every field, the interface texts and the MIDI type become defaults) and
// the entries and enabled flag of `playlist`. Either may be absent.
Result read(const QString &fileName, SettingStruct *record, Playlist *playlist, bool verbose);

// The user's documents folder, else the home folder; always ends in "/".
QString defaultConfigFolder();
// "path_export_import" of the store, else the default; always ends in "/".
QString loadConfigFolder();
void saveConfigFolder(const QString &folder);
} // namespace ConfigFile
