#include "checksoftwareupdate.h"

#include "version.h"

#include <QMutexLocker>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace
{
// The server's words, shown in a box that may read markup: printable ASCII
// without markup characters, and short.
QString reasonPhrase(const QNetworkReply *reply)
{
    QString shown;
    for (const char c : reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray())
        if (c >= ' ' && c < 127 && c != '<' && c != '>' && c != '&' && shown.size() < 80)
            shown += QLatin1Char(c);
    return shown;
}
} // namespace

CheckSoftwareUpdate::CheckSoftwareUpdate(int giveUpMs, QObject *parent)
    : QObject(parent), m_network(new QNetworkAccessManager(this)), m_giveUpMs(giveUpMs),
      m_deadline(new QTimer(this))
{
    m_deadline->setSingleShot(true);
    connect(m_deadline, &QTimer::timeout, this, &CheckSoftwareUpdate::giveUp);
}

// The manager, a child, aborts whatever is still in flight; leaving at once
// is what lets the program close while the server keeps it waiting.
CheckSoftwareUpdate::~CheckSoftwareUpdate()
{
    dropReply();
}

void CheckSoftwareUpdate::setGiveInfoForNoUpdates()
{
    QMutexLocker lock(&m_mutex);
    m_giveInfoForNoUpdates = true;
}

void CheckSoftwareUpdate::setMessageTemplate(const QString &messageTemplate)
{
    QMutexLocker lock(&m_mutex);
    m_messageTemplate = messageTemplate;
}

void CheckSoftwareUpdate::setCurrentVersion(int major, int minor, int revision, int build)
{
    QMutexLocker lock(&m_mutex);
    m_currentVersion = {major, minor, revision, build};
}

void CheckSoftwareUpdate::slotCheckForUpdate(QString WebSite, uint StartDelayInSeconds)
{
    m_webSite = QUrl(WebSite);
    QTimer::singleShot(qint64(StartDelayInSeconds) * 1000, this,
                       &CheckSoftwareUpdate::slotCheckForUpdateIntern);
}

void CheckSoftwareUpdate::slotCheckForUpdateIntern()
{
    dropReply();
    m_lines = ReplyLines();
    m_reported = false;
    m_bodyComplete = false;
    m_sawVersion = false;

    QNetworkRequest request(m_webSite);
    request.setTransferTimeout(m_giveUpMs);
    request.setMaximumRedirectsAllowed(MaxRedirects);
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      QStringLiteral("%1/%2.%3.%4.%5")
                          .arg(QLatin1String(Version::ProductName))
                          .arg(Version::Major)
                          .arg(Version::Minor)
                          .arg(Version::Revision)
                          .arg(Version::Build));
    m_reply = m_network->get(request);
    connect(m_reply, &QNetworkReply::finished, this, &CheckSoftwareUpdate::slotHttpFinished);
    connect(m_reply, &QNetworkReply::readyRead, this, &CheckSoftwareUpdate::slotHttpReadyRead);
    connect(m_reply, &QNetworkReply::downloadProgress, this,
            &CheckSoftwareUpdate::slotUpdateDataReadProgress);
    m_deadline->start(m_giveUpMs);
}

void CheckSoftwareUpdate::giveUp()
{
    if (m_reply && !m_reported)
        report(Outcome::NoConnection);
}

// Only a successful answer carries update information: an error page may
// well mention a version, and that is not an offer.
bool CheckSoftwareUpdate::bodyIsUpdateInfo() const
{
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    return status >= 200 && status < 300;
}

void CheckSoftwareUpdate::slotHttpReadyRead()
{
    if (!m_reply || m_reported)
        return;
    if (!bodyIsUpdateInfo()) {
        m_reply->readAll();
        return;
    }
    const QList<QByteArray> lines = m_lines.append(m_reply->read(m_lines.room()));
    for (const QByteArray &line : lines)
        if (readLine(line))
            return;
    if (m_lines.ended()) {
        // Zero byte or size limit: the rest is not read, nor waited for.
        m_bodyComplete = true;
        m_reply->abort();
    }
}

void CheckSoftwareUpdate::slotHttpFinished()
{
    if (!m_reply || m_reported)
        return;
    const QVariant status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    // No status at all, or a redirect that was not followed (one too many):
    // nothing usable came back.
    if (!status.isValid() || (status.toInt() >= 300 && status.toInt() < 400)) {
        report(Outcome::NoConnection);
        return;
    }
    if (!bodyIsUpdateInfo()) {
        // The server is there but has no answer: the operator must hear that,
        // not "no update".
        const QUrl url = m_reply->url();
        report(Outcome::HttpError, tr("The update server %1:%2 answered %3 %4.")
                                       .arg(url.host())
                                       .arg(serverPort(url))
                                       .arg(status.toInt())
                                       .arg(reasonPhrase(m_reply)));
        return;
    }
    // Bytes may still wait when finished came before their readyRead.
    if (m_reply->bytesAvailable() > 0)
        slotHttpReadyRead();
    if (m_reported)
        return;
    // A body cut off by a failure is incomplete: what it said is unknown.
    if (!m_bodyComplete && m_reply->error() != QNetworkReply::NoError) {
        report(Outcome::NoConnection);
        return;
    }
    if (const auto last = m_lines.finish(); last && readLine(*last))
        return;
    // Only a reply that named a version answered the question.
    report(m_sawVersion ? Outcome::NoUpdate : Outcome::NoConnection);
}

void CheckSoftwareUpdate::slotUpdateDataReadProgress(qint64 bytesRead, qint64 totalBytes)
{
    Q_UNUSED(bytesRead)
    Q_UNUSED(totalBytes)
}

bool CheckSoftwareUpdate::readLine(const QByteArray &line)
{
    const auto offered = UpdateReply::versionInLine(line);
    if (!offered)
        return false;
    m_sawVersion = true;
    QString message;
    {
        QMutexLocker lock(&m_mutex);
        if (!UpdateReply::isNewer(*offered, m_currentVersion))
            return false;
        message = m_messageTemplate;
    }
    message.replace(QStringLiteral("$$$VERSION$$$"), UpdateReply::toText(*offered));
    report(Outcome::NewVersion, message);
    return true;
}

// One answer per request. Once it is given, the reply has nothing more to say.
int CheckSoftwareUpdate::serverPort(const QUrl &url)
{
    // A redirect may have led to an https address.
    return url.port(url.scheme() == QLatin1String("https") ? 443 : 80);
}

void CheckSoftwareUpdate::report(Outcome outcome, const QString &text)
{
    m_reported = true;
    m_deadline->stop();
    if (m_reply && m_reply->isRunning()) {
        m_bodyComplete = true;
        m_reply->abort();
    }
    bool giveInfo = false;
    {
        QMutexLocker lock(&m_mutex);
        giveInfo = m_giveInfoForNoUpdates;
    }
    switch (outcome) {
    case Outcome::NewVersion:
        emit signalViewUpdateRequest(text);
        break;
    case Outcome::HttpError:
        if (giveInfo)
            emit signalViewUpdateRequest(text);
        break;
    case Outcome::NoUpdate:
        if (giveInfo)
            emit signalViewUpdateRequest(tr("There is no update available!"));
        break;
    case Outcome::NoConnection:
        if (giveInfo)
            emit signalViewUpdateRequest(
                tr("There is no internet connection available to check for updates!"));
        break;
    }
}

// A reply being replaced must not report: its finished signal would tell the
// operator "no connection" for a request nobody waits for any more.
void CheckSoftwareUpdate::dropReply()
{
    m_deadline->stop();
    if (!m_reply)
        return;
    disconnect(m_reply, nullptr, this, nullptr);
    m_reply->abort();
    m_reply->deleteLater();
    m_reply = nullptr;
}
