#include "updateserver.h"

#include "settingsstore.h"
#include "version.h"

namespace
{
QString currentVersionQuery()
{
    return QStringLiteral("software=artnetorvello&currentversion=%1.%2.%3.%4")
        .arg(Version::Major)
        .arg(Version::Minor)
        .arg(Version::Revision)
        .arg(Version::Build);
}

QString anchorTo(const QString &path)
{
    QUrl url = UpdateServer::base();
    url.setPath(path);
    url.setQuery(currentVersionQuery());
    QString shown = url.host();
    if (url.port() != -1)
        shown += QLatin1Char(':') + QString::number(url.port());
    return QStringLiteral("<a href=\"%1\">%2</a>")
        .arg(url.toString(QUrl::FullyEncoded).toHtmlEscaped(), shown.toHtmlEscaped());
}
} // namespace

namespace UpdateServer
{
QUrl baseFrom(const QString &setting)
{
    // Accepts what a user types, "mirror.lan:8080" as well as a full URL.
    const QUrl given = QUrl::fromUserInput(setting.trimmed());
    const QString scheme = given.scheme().toLower();
    if (!given.isValid() || given.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return QUrl(QLatin1String(DefaultServer));
    QUrl url;
    url.setScheme(scheme);
    url.setHost(given.host());
    url.setPort(given.port());
    return url;
}

QUrl base()
{
    return baseFrom(
        SettingsStore::open()->value(QLatin1String(Key), QLatin1String(DefaultServer)).toString());
}

QUrl queryUrl()
{
    QUrl url = base();
    url.setPath(QStringLiteral("/update_check.php"));
    url.setQuery(QStringLiteral("software=orvelloapp"));
    return url;
}

QString updateLink()
{
    return anchorTo(QStringLiteral("/update_view.php"));
}

QString helpLink()
{
    return anchorTo(QStringLiteral("/help.php"));
}
} // namespace UpdateServer

namespace UpdateSchedule
{
bool automaticCheckDue(const QString &lastCheck, const QDate &today)
{
    const QDate last = QDate::fromString(lastCheck, QLatin1String(DateFormat));
    if (!last.isValid())
        return true;
    return !(today > last.addDays(-7) && today < last.addDays(7));
}

bool beginCheck(bool automatic, const QDate &today)
{
    auto store = SettingsStore::open();
    if (automatic) {
        const QString fallback = today.addDays(-7).toString(QLatin1String(DateFormat));
        if (!automaticCheckDue(store->value(QLatin1String(LastCheckKey), fallback).toString(),
                               today))
            return false;
    }
    store->setValue(QLatin1String(LastCheckKey), today.toString(QLatin1String(DateFormat)));
    SettingsStore::commit(*store);
    return true;
}
} // namespace UpdateSchedule
