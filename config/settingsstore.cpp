#include "settingsstore.h"

#include "version.h"

namespace
{
QString &overridePath()
{
    static QString path;
    return path;
}
} // namespace

namespace SettingsStore
{
std::unique_ptr<QSettings> open()
{
    if (!overridePath().isEmpty())
        return std::make_unique<QSettings>(overridePath(), QSettings::IniFormat);
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QLatin1String(Maker::Organisation),
                                       QLatin1String(Maker::Application));
}

void useFile(const QString &path)
{
    overridePath() = path;
}
} // namespace SettingsStore
