#pragma once

#include "generatorcommand.h"
#include "remotestatus.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QHttpServer;
class QHttpServerRequest;
class QHttpServerResponder;
class QTimer;
class QWebSocket;
class WebConnections;

// The web remote: one page with the running code and the controls, the
// status as JSON, commands as JSON, and a WebSocket that pushes the status on
// every change and the code as it runs. Qt HTTP Server parses and answers;
// around it sit the limits a server on a show network needs: at most
// maxConnections at once, a connection closed when it has not completed a
// request for idleMs, request bodies over 4 KiB refused (413), and no other
// path than the page's own (404).
//
// Security: with an empty token the server listens on 127.0.0.1 alone and
// answers only requests addressed to this computer by name (a page of
// another site cannot reach it through a name that points here). With a
// token it listens on every address and every command must carry the token
// ("Authorization: Bearer <token>"); reading the status stays open.
class WebServer : public QObject
{
    Q_OBJECT
public:
    struct Limits {
        int maxConnections = 32;
        int idleMs = 10000;
        // A WebSocket is pinged every third of this and closed when nothing,
        // not even the answer to a ping, came back for this long.
        int silentMs = 30000;
    };
    using StatusSource = std::function<RemoteStatus()>;

    WebServer(StatusSource status, Limits limits, QObject *parent = nullptr);
    explicit WebServer(StatusSource status, QObject *parent = nullptr);
    ~WebServer() override;

    // Closes what was open first. The address follows from the token:
    // 127.0.0.1 without one, every address with one. False with
    // errorString() when the port cannot be had.
    bool listen(quint16 port, const QString &token);
    void close();
    bool isListening() const;
    QHostAddress address() const { return m_address; }
    quint16 port() const { return m_port; }
    QString errorString() const { return m_error; }

    int connectionCount() const;
    int clientCount() const { return int(m_clients.size()); }

    // The full status to every WebSocket client.
    void pushStatus();
    // The code to every client due one: every frame to those that asked,
    // every `frameDivider`th to the others (at least 10 a second).
    void pushCode(const TimeCode &code, int framesPerSecond);

    // The page as served: the built-in page with the operator's language.
    static QByteArray page();

signals:
    void commandRequested(const GeneratorCommand &command);
    // A WebSocket client came or went.
    void clientsChanged(int count);

private:
    struct Client {
        QWebSocket *socket;
        bool everyFrame = false;
        qint64 lastHeardMs = 0;
    };

    void route();
    void answerCommand(const QHttpServerRequest &request, QHttpServerResponder &&responder);
    bool addressedHere(const QByteArray &hostHeader) const;
    void takeWebSocket();
    void dropClient(QWebSocket *socket);
    void checkClients();

    StatusSource m_status;
    Limits m_limits;
    std::unique_ptr<QHttpServer> m_server;
    WebConnections *m_connections = nullptr;
    QHostAddress m_address;
    quint16 m_port = 0;
    QString m_token;
    QString m_error;
    QList<Client> m_clients;
    int m_frameCount = 0;
    QTimer *m_pinger = nullptr;
    QElapsedTimer m_uptime;
};
