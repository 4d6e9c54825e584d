#include "configfile.h"

#include "configxml.h"
#include "playlist.h"
#include "settingsstore.h"

#include <QCoreApplication>
#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTextStream>

namespace
{
// The texts are the main window's, which shows them.
QString tr(const char *text)
{
    return QCoreApplication::translate("Orvello", text);
}

QString withSlash(QString folder)
{
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

const QString FolderKey = QStringLiteral("path_export_import");
} // namespace

namespace ConfigFile
{

QString Result::title() const
{
    switch (status) {
    case Status::Ok:
        break;
    case Status::WriteFailed:
    case Status::ReadFailed:
        return QStringLiteral("Orvello");
    case Status::ParseFailed:
        return QStringLiteral("XML-Error");
    }
    return QString();
}

QString Result::message() const
{
    switch (status) {
    case Status::Ok:
        break;
    case Status::WriteFailed:
        return tr("The file %1 could not be written!\n%2.").arg(fileName, systemError);
    case Status::ReadFailed:
        return tr("The file %1 could not be read!\n%2.").arg(fileName, systemError);
    case Status::ParseFailed:
        return tr("Could not load file %1! It is not a valid Orvello XML file (*.ovxml).")
            .arg(fileName);
    }
    return QString();
}

QString extension()
{
    return QStringLiteral(".ovxml");
}

QString fileFilter()
{
    return tr("Orvello XML Files (*.ovxml);;All Files (*)");
}

QString withExtension(const QString &chosen)
{
    if (chosen.isEmpty() || QFileInfo(chosen).fileName().contains(QLatin1Char('.')))
        return chosen;
    return chosen + extension();
}

Result write(const QString &fileName, const SettingStruct *record, Playlist *playlist)
{
    Result result;
    result.fileName = fileName;
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        result.status = Status::WriteFailed;
        result.systemError = file.errorString();
        return result;
    }
    QTextStream out(&file);
    out.setEncoding(QStringConverter::Utf8);
    out << ConfigXml::buildConfigDocument(fileName, record, playlist);
    out.flush();
    // A full disk shows only here; reporting success for a cut file would lose a show.
    if (out.status() != QTextStream::Ok || !file.flush()) {
        result.status = Status::WriteFailed;
        result.systemError = file.errorString();
    }
    file.close();
    return result;
}

Result read(const QString &fileName, SettingStruct *record, Playlist *playlist, bool verbose)
{
    Result result;
    result.fileName = fileName;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        result.status = Status::ReadFailed;
        result.systemError = file.errorString();
        return result;
    }
    QDomDocument document;
    if (!document.setContent(&file, false)) {
        result.status = Status::ParseFailed;
        return result;
    }

    // Everything is read into temporaries first, so a file can never leave
    // half of its values behind.
    Playlist readPlaylist(verbose);
    SettingStruct readRecord;
    readRecord.setDefaults();
    for (QDomNode node = document.documentElement().firstChild(); !node.isNull();
         node = node.nextSibling()) {
        const QDomElement element = node.toElement();
        if (element.isNull())
            continue;
        if (!ConfigXml::settingsFromXml(element, readRecord))
            ConfigXml::playlistFromXml(element, readPlaylist);
    }
    if (playlist)
        playlist->takeItemsFrom(&readPlaylist);
    if (record)
        record->copyFrom(&readRecord);
    return result;
}

QString defaultConfigFolder()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::homePath();
    return withSlash(folder);
}

QString loadConfigFolder()
{
    return withSlash(SettingsStore::open()->value(FolderKey, defaultConfigFolder()).toString());
}

void saveConfigFolder(const QString &folder)
{
    const auto store = SettingsStore::open();
    store->setValue(FolderKey, withSlash(folder));
    SettingsStore::commit(*store);
}

} // namespace ConfigFile
