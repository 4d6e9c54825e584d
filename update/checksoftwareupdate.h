#pragma once

#include "updatereply.h"

#include <QMutex>
#include <QObject>
#include <QString>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

// Asks the update server whether a newer version exists and reports the
// answer as a text for the operator. Lives on a low-priority thread of its
// own; the window sets the texts and the running version by direct calls,
// then schedules a check by a queued signal.
class CheckSoftwareUpdate : public QObject
{
    Q_OBJECT
public:
    // A request that gets no answer for this long counts as no connection.
    static constexpr int DefaultGiveUpMs = 10000;

    explicit CheckSoftwareUpdate(int giveUpMs = DefaultGiveUpMs, QObject *parent = nullptr);
    ~CheckSoftwareUpdate() override;

    // Direct calls from the window's thread. Report also "no update" and
    // "no connection"; stays set once set.
    void setGiveInfoForNoUpdates();
    // The new-version message; "$$$VERSION$$$" is replaced by the offered version.
    void setMessageTemplate(const QString &messageTemplate);
    void setCurrentVersion(int major, int minor, int revision, int build);

    // The port the error message names: the one the scheme implies when the
    // address names none.
    static int serverPort(const QUrl &url);

signals:
    void signalViewUpdateRequest(QString MessageUpdateCheckInfo);

public slots:
    void slotCheckForUpdate(QString WebSite, uint StartDelayInSeconds);
    void slotCheckForUpdateIntern();
    void slotHttpFinished();
    void slotHttpReadyRead();
    void slotUpdateDataReadProgress(qint64 bytesRead, qint64 totalBytes);

private:
    // A redirect loop must not hold the check: a real server needs one or two.
    static constexpr int MaxRedirects = 3;

    enum class Outcome { NewVersion, NoUpdate, NoConnection, HttpError };
    // Reads a line; true when it offered a newer version, which was reported.
    bool readLine(const QByteArray &line);
    // `text` is the new-version message or the server's error.
    void report(Outcome outcome, const QString &text = QString());
    void giveUp();
    bool bodyIsUpdateInfo() const;
    void dropReply();

    QNetworkAccessManager *m_network;
    QNetworkReply *m_reply = nullptr;
    QUrl m_webSite;
    const int m_giveUpMs;
    ReplyLines m_lines;
    bool m_reported = false;
    // Our own abort once the body has ended; not a failure of the server.
    bool m_bodyComplete = false;
    // A line offered a version, newer or not: the reply was an update answer.
    bool m_sawVersion = false;
    // Ends the whole check, headers and redirects included, which the
    // transfer timeout alone does not: a server trickling bytes renews it.
    QTimer *m_deadline;

    // Set from the window's thread, read on this one.
    mutable QMutex m_mutex;
    bool m_giveInfoForNoUpdates = false;
    QString m_messageTemplate;
    SoftwareVersion m_currentVersion{0, 0, 0, 0};
};
