#include "settingsstore.h"

#include "version.h"

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

void useFile(const QString &path, QSettings::Format format)
{
    override() = Override{path, format};
}
} // namespace SettingsStore
