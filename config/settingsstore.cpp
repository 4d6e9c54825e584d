#include "settingsstore.h"

#include "version.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstdio>
#include <sys/stat.h>

namespace
{
struct Override {
    QString path;
    QSettings::Format format = QSettings::IniFormat;
};

Override & override()
{
    static Override o;
    return o;
}

struct State {
    QString problem;
    bool damaged = false;
    // Start-up said that changes will not be kept; a failed write is no news.
    bool keepsNothing = false;
    // Not a regular file, or damaged without a copy: never opened again.
    bool untouchable = false;
};

State &state()
{
    static State s;
    return s;
}

QString tr(const char *text)
{
    return QCoreApplication::translate("SettingsStore", text);
}

void report(const QString &text)
{
    state().problem = text;
    const QByteArray line = text.toLocal8Bit() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}

// Where QSettings keeps the user's store: opening it is already a read, so
// the path is judged before.
QString storePath()
{
    if (!override().path.isEmpty())
        return override().path;
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QLatin1Char('/') + QLatin1String(Maker::Organisation) + QLatin1Char('/') +
           QLatin1String(Maker::Application) + QStringLiteral(".conf");
}

// A regular file, or nothing yet (QSettings creates it). Reading a FIFO
// waits for a writer that never comes, and a save replaces the link's target,
// a device as well, by a new file.
bool regularOrAbsent(const QString &path)
{
    struct stat info = {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return errno == ENOENT;
    return S_ISREG(info.st_mode);
}

// A file that can never exist, since /dev/null is no folder: reads find
// nothing and writes fail before anything is created.
std::unique_ptr<QSettings> standIn()
{
    return std::make_unique<QSettings>(QStringLiteral("/dev/null/Orvello.conf"),
                                       QSettings::IniFormat);
}

QByteArray contentHash(const QString &file)
{
    QFile f(file);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!f.open(QIODevice::ReadOnly) || !hash.addData(&f))
        return {};
    return hash.result();
}

// Beside the original, never over an earlier copy; content that an earlier
// copy already holds is not copied again (a damaged store that could not be
// emptied would otherwise add a copy at every start).
QString keepCopy(const QString &file)
{
    const QFileInfo original(file);
    const QByteArray hash = contentHash(file);
    const QString prefix = original.fileName() + QStringLiteral(".damaged");
    const QFileInfoList copies =
        original.dir().entryInfoList({prefix + QLatin1Char('*')}, QDir::Files, QDir::Name);
    for (const QFileInfo &copy : copies)
        if (copy.size() == original.size() && !hash.isEmpty() &&
            contentHash(copy.filePath()) == hash)
            return copy.filePath();
    QString target = file + QStringLiteral(".damaged");
    if (QFile::exists(target))
        target += QDateTime::currentDateTime().toString(QStringLiteral("-yyyyMMdd-hhmmss-zzz"));
    return QFile::copy(file, target) ? target : QString();
}

// A folder that takes no new file cannot take a save either: QSettings writes
// a new file and renames it over the old one.
bool writable(const QSettings &store)
{
    if (!store.isWritable())
        return false;
    const QFileInfo folder(QFileInfo(store.fileName()).absolutePath());
    return !folder.exists() || folder.isWritable();
}
} // namespace

namespace SettingsStore
{
std::unique_ptr<QSettings> open()
{
    if (state().untouchable || !regularOrAbsent(storePath()))
        return standIn();
    if (!override().path.isEmpty())
        return std::make_unique<QSettings>(override().path, override().format);
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QLatin1String(Maker::Organisation),
                                       QLatin1String(Maker::Application));
}

std::unique_ptr<QSettings> openChecked()
{
    state() = State();
    const QString file = storePath();
    if (!regularOrAbsent(file)) {
        state().keepsNothing = true;
        report(tr("Settings store %1 is not a regular file; it is neither read nor written.")
                   .arg(file));
        return standIn();
    }
    auto store = open();
    // QSettings reads the file at the first access, and only then knows its status.
    store->allKeys();
    switch (store->status()) {
    case QSettings::AccessError:
        state().damaged = true;
        report(
            tr("Settings store %1 cannot be read; starting with the default settings.").arg(file));
        return store;
    case QSettings::FormatError: {
        state().damaged = true;
        const QString copy = keepCopy(file);
        if (!copy.isEmpty()) {
            // The defaults from now on, not what could be read of the damaged
            // part. The status keeps saying FormatError, so the file tells
            // whether it was emptied.
            store->clear();
            store->sync();
        }
        if (copy.isEmpty() || QFileInfo(file).size() != 0) {
            // Never overwrite the only record of what the store held.
            state().untouchable = state().keepsNothing = true;
            report(tr("Settings store %1 is damaged and could not be copied; starting with the "
                      "default settings, changes will not be kept.")
                       .arg(file));
            return standIn();
        }
        report(tr("Settings store %1 is damaged; a copy was kept as %2. Starting with the "
                  "default settings.")
                   .arg(file, copy));
        return store;
    }
    case QSettings::NoError:
        break;
    }
    if (!writable(*store)) {
        state().keepsNothing = true;
        report(tr("Settings store %1 is read-only; changes will not be kept.").arg(file));
    }
    return store;
}

bool commit(QSettings &store)
{
    store.sync();
    if (store.status() != QSettings::AccessError)
        return true;
    if (!state().keepsNothing)
        report(tr("Settings store %1 could not be written; changes are lost.").arg(storePath()));
    return false;
}

QString problem()
{
    return state().problem;
}

bool damaged()
{
    return state().damaged;
}

void useFile(const QString &path, QSettings::Format format)
{
    override() = Override{path, format};
    state() = State();
}
} // namespace SettingsStore
