#pragma once

#include <QDate>
#include <QString>
#include <QUrl>

// Where the program asks for updates and sends the operator for updates and
// help. The host is the store's "update_server" (scheme, host and port), so a
// site that runs its own mirror, and every test, points it elsewhere.
namespace UpdateServer
{
constexpr const char *Key = "update_server";
constexpr const char *DefaultServer = "http://www.orvello.example";

// Scheme, host and port of `setting`; the default server when the setting
// names no http or https host.
QUrl baseFrom(const QString &setting);
// The same for the value in the settings store.
QUrl base();

// The query the checker sends.
QUrl queryUrl();
// Anchors to the update page and the help page, shown with the host's name.
QString updateLink();
QString helpLink();
} // namespace UpdateServer

// When the automatic check runs. The date of the last check is kept in the
// store under "UpdateCheckLast" as "dd.MM.yyyy".
namespace UpdateSchedule
{
constexpr const char *LastCheckKey = "UpdateCheckLast";
constexpr const char *DateFormat = "dd.MM.yyyy";

// An automatic check waits seven days after the last one. A stored date more
// than seven days ahead (a clock that was wrong) or a text that is no date
// lets it run, so a bad value never stops the checks for good.
bool automaticCheckDue(const QString &lastCheck, const QDate &today);

// Decides whether a check runs now and, if it does, stores today as the last
// check. A manual check always runs.
bool beginCheck(bool automatic, const QDate &today);
} // namespace UpdateSchedule
