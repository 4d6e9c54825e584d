#include "settingsstore.h"

#include "version.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>

#include <cstdio>

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

QString &lastProblem()
{
    static QString text;
    return text;
}

bool &lastDamaged()
{
    static bool damaged = false;
    return damaged;
}

QString tr(const char *text)
{
    return QCoreApplication::translate("SettingsStore", text);
}

// Beside the original, never over an earlier copy.
QString copyAside(const QString &file)
{
    QString target = file + QStringLiteral(".damaged");
    if (QFile::exists(target))
        target += QDateTime::currentDateTime().toString(QStringLiteral("-yyyyMMdd-hhmmss-zzz"));
    return QFile::copy(file, target) ? target : QString();
}

QString describe(const QSettings &store)
{
    const QString file = store.fileName();
    switch (store.status()) {
    case QSettings::AccessError:
        return tr("Settings store %1 cannot be read; starting with the default settings.")
            .arg(file);
    case QSettings::FormatError: {
        const QString copy = copyAside(file);
        if (copy.isEmpty())
            return tr("Settings store %1 is damaged and could not be copied; starting with the "
                      "default settings.")
                .arg(file);
        return tr("Settings store %1 is damaged; a copy was kept as %2. Starting with the "
                  "default settings.")
            .arg(file, copy);
    }
    case QSettings::NoError:
        break;
    }
    if (!store.isWritable())
        return tr("Settings store %1 is read-only; changes will not be kept.").arg(file);
    return {};
}
} // namespace

namespace SettingsStore
{
std::unique_ptr<QSettings> open()
{
    if (!override().path.isEmpty())
        return std::make_unique<QSettings>(override().path, override().format);
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QLatin1String(Maker::Organisation),
                                       QLatin1String(Maker::Application));
}

std::unique_ptr<QSettings> openChecked()
{
    auto store = open();
    // QSettings reads the file at the first access, and only then knows its status.
    store->allKeys();
    lastDamaged() = store->status() != QSettings::NoError;
    lastProblem() = describe(*store);
    if (!lastProblem().isEmpty()) {
        const QByteArray text = lastProblem().toLocal8Bit() + '\n';
        std::fwrite(text.constData(), 1, size_t(text.size()), stderr);
    }
    return store;
}

QString problem()
{
    return lastProblem();
}

bool damaged()
{
    return lastDamaged();
}

void useFile(const QString &path, QSettings::Format format)
{
    override() = Override{path, format};
}
} // namespace SettingsStore
