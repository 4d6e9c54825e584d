#include "configfile.h"

#include "configxml.h"
#include "documentshape.h"
#include "playlist.h"
#include "settingsstore.h"
#include "version.h"

#include <QCoreApplication>
#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QTextStream>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

bool refuse(ConfigFile::Result *result, ConfigFile::Status status, const QString &why)
{
    result->status = status;
    (status == ConfigFile::Status::ReadFailed ? result->systemError : result->detail) = why;
    return false;
}

QString tooLarge()
{
    return tr("It is larger than %1 MiB; a show file holds a few kilobytes")
        .arg(ConfigFile::MaxFileBytes / (1024 * 1024));
}

// The whole file, if it is a regular one of at most MaxFileBytes.
bool readBounded(const QString &fileName, QByteArray *bytes, ConfigFile::Result *result)
{
    using ConfigFile::Status;
    const QByteArray path = QFile::encodeName(fileName);
    struct stat info = {};
    // Looked at before it is opened: opening a FIFO for reading waits for a
    // writer, and a device may never end.
    if (::stat(path.constData(), &info) == 0) {
        if (!S_ISREG(info.st_mode))
            return refuse(result, Status::ReadFailed, tr("It is not a regular file"));
        if (info.st_size > ConfigFile::MaxFileBytes)
            return refuse(result, Status::ReadFailed, tooLarge());
    }
    // Without waiting, should the name have become a FIFO since the look.
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return refuse(result, Status::ReadFailed, qt_error_string(errno));
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return refuse(result, Status::ReadFailed, file.errorString());
    }
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        return refuse(result, Status::ReadFailed, tr("It is not a regular file"));
    // One byte more than allowed tells a file that grew since the look.
    *bytes = file.read(ConfigFile::MaxFileBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return refuse(result, Status::ReadFailed, file.errorString());
    if (bytes->size() > ConfigFile::MaxFileBytes)
        return refuse(result, Status::ReadFailed, tooLarge());
    return true;
}

QString shapeFault(DocumentShape::Fault fault)
{
    switch (fault) {
    case DocumentShape::Fault::None:
        break;
    case DocumentShape::Fault::Nesting:
        return tr("Its elements are nested more than %1 deep; a show nests them two deep.")
            .arg(DocumentShape::MaxDepth);
    case DocumentShape::Fault::Nodes:
        return tr("It holds more than %1 elements, attributes and other parts; a show holds a "
                  "few hundred.")
            .arg(DocumentShape::MaxNodes);
    case DocumentShape::Fault::Attributes:
        return tr("An element carries more than %1 attributes; those of a show carry a few.")
            .arg(DocumentShape::MaxAttributes);
    }
    return QString();
}

// Bounded first, parsed second. UTF-16 and UTF-32 files are decoded before
// the scan, so it sees their markup; every other encoding keeps markup in
// ASCII and is left to the parser.
bool parseBounded(const QByteArray &bytes, QDomDocument *document, ConfigFile::Result *result)
{
    using ConfigFile::Status;
    const auto encoding = QStringConverter::encodingForData(bytes, u'<');
    const bool wide =
        encoding && *encoding != QStringConverter::Utf8 && *encoding != QStringConverter::Latin1;
    const QString decoded = wide ? QStringDecoder(*encoding).decode(bytes) : QString();
    const DocumentShape::Fault fault =
        wide ? DocumentShape::scan(QStringView(decoded)) : DocumentShape::scan(bytes);
    if (fault != DocumentShape::Fault::None)
        return refuse(result, Status::ParseFailed, shapeFault(fault));
    if (!(wide ? document->setContent(decoded, false) : document->setContent(bytes, false)))
        return refuse(result, Status::ParseFailed, QString());

    // Any other well-formed document (a picture, another program's settings)
    // would otherwise read as a show of defaults and wipe the one in use.
    const QDomElement root = document->documentElement();
    const QString rootName = QLatin1String(Maker::Application) + QStringLiteral("Config");
    if (root.tagName() != rootName)
        return refuse(result, Status::ParseFailed,
                      tr("Its root element is %1, not %2.")
                          .arg(ConfigXml::shownValue(root.tagName()), rootName));
    // Hand-written files may leave the version out; a later format may not
    // mean what this program would read.
    const QString version = QStringLiteral("version");
    bool ok = false;
    if (root.hasAttribute(version) &&
        !(root.attribute(version).toInt(&ok) == ConfigXml::FormatVersion && ok))
        return refuse(result, Status::ParseFailed,
                      tr("It has the format version %1; this program reads version %2.")
                          .arg(ConfigXml::shownValue(root.attribute(version)))
                          .arg(ConfigXml::FormatVersion));
    return true;
}
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
    case Status::ParseFailed: {
        const QString text =
            tr("Could not load file %1! It is not a valid Orvello XML file (*.ovxml).")
                .arg(fileName);
        return detail.isEmpty() ? text : text + QLatin1Char('\n') + detail;
    }
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
    QByteArray bytes;
    QDomDocument document;
    if (!readBounded(fileName, &bytes, &result) || !parseBounded(bytes, &document, &result))
        return result;
    bytes.clear();

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
        result.warnings += ConfigXml::valuesOutOfRange(element);
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
    SettingsStore::open()->setValue(FolderKey, withSlash(folder));
}

} // namespace ConfigFile
