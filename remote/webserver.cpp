#include "webserver.h"

#include "httprequestlimit.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>
#include <QWebSocket>

using Status = QHttpServerResponder::StatusCode;

// The page is built into this static library; a program that links it
// registers it here, before the first page is served.
static void registerPage()
{
    Q_INIT_RESOURCE(remote);
}

// Accepts connections for the HTTP server and puts the limits around each
// before the server sees it: a count, an idle timer and a look at every byte
// that arrives (HttpRequestLimit), ahead of the server's own reading.
class WebConnections : public QTcpServer
{
public:
    WebConnections(const WebServer::Limits &limits, QObject *parent)
        : QTcpServer(parent), m_limits(limits)
    {
    }
    int live() const { return m_live; }

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto *socket = new QTcpSocket(this);
        if (!socket->setSocketDescriptor(descriptor)) {
            delete socket;
            return;
        }
        if (m_live >= m_limits.maxConnections) {
            refuse(socket, "503 Service Unavailable");
            return;
        }
        ++m_live;
        // A WebSocket upgrade cuts every connection of the socket's signals;
        // a child of it still goes when the socket goes.
        auto *counted = new QObject(socket);
        connect(counted, &QObject::destroyed, this, [this]() { --m_live; });

        // Closed when no request completes within idleMs: a connection kept
        // open after its last answer, or one that sends a byte now and then.
        auto *idle = new QTimer(socket);
        idle->setSingleShot(true);
        idle->start(m_limits.idleMs);
        connect(idle, &QTimer::timeout, socket, [socket]() {
            socket->abort();
            socket->deleteLater();
        });
        auto limit = std::make_shared<HttpRequestLimit>();
        // Connected before the server's own reader, so it runs first.
        connect(socket, &QTcpSocket::readyRead, socket, [socket, limit, idle]() {
            if (limit->upgraded())
                return;
            // What the server has not read yet is what is new: it reads all
            // it gets, and keeps a partial request in its own buffer.
            const qint64 available = socket->bytesAvailable();
            const QByteArray fresh = socket->peek(available);
            const int before = limit->completed();
            const HttpRequestLimit::Verdict verdict = limit->feed(fresh.constData(), fresh.size());
            if (limit->upgraded())
                idle->stop(); // the WebSocket keeps its own watch
            else if (limit->completed() != before)
                idle->start();
            switch (verdict) {
            case HttpRequestLimit::Fine:
                return;
            case HttpRequestLimit::BadRequest:
                refuse(socket, "400 Bad Request");
                return;
            case HttpRequestLimit::LengthRequired:
                refuse(socket, "411 Length Required");
                return;
            case HttpRequestLimit::BodyTooLarge:
                refuse(socket, "413 Payload Too Large");
                return;
            case HttpRequestLimit::HeadTooLarge:
                refuse(socket, "431 Request Header Fields Too Large");
                return;
            }
        });
        addPendingConnection(socket);
    }

private:
    // Answers with the status alone and closes; the server's reader is cut
    // off first, so it never sees the rest of the request.
    static void refuse(QTcpSocket *socket, const char *status)
    {
        disconnect(socket, &QTcpSocket::readyRead, nullptr, nullptr);
        socket->skip(socket->bytesAvailable());
        socket->write(QByteArray("HTTP/1.1 ") + status +
                      "\r\nConnection: close\r\nContent-Length: 0\r\n\r\n");
        socket->disconnectFromHost();
        // A peer that never reads its answer does not keep the socket.
        QTimer::singleShot(1000, socket, [socket]() {
            socket->abort();
            socket->deleteLater();
        });
        connect(socket, &QAbstractSocket::disconnected, socket, &QObject::deleteLater);
    }

    WebServer::Limits m_limits;
    int m_live = 0;
};

namespace
{
const QByteArray Json = QByteArrayLiteral("application/json");

QByteArray errorJson(const QString &text)
{
    return QJsonDocument(QJsonObject{{QStringLiteral("error"), text}})
        .toJson(QJsonDocument::Compact);
}

void answer(QHttpServerResponder &responder, const QByteArray &body, const QByteArray &type,
            Status status = Status::Ok)
{
    responder.write(body,
                    {{"Content-Type", type},
                     {"Cache-Control", "no-store"},
                     {"X-Content-Type-Options", "nosniff"}},
                    status);
}

void answerError(QHttpServerResponder &responder, Status status, const QString &text)
{
    answer(responder, errorJson(text), Json, status);
}

// The page's words have a context of their own, apart from the server's.
QString pageText(const char *text)
{
    return QCoreApplication::translate("RemotePage", text);
}

// Host and port of a "Host" header or an origin, lower case.
QString hostOf(const QByteArray &host)
{
    return QString::fromLatin1(host).trimmed().toLower();
}
} // namespace

WebServer::WebServer(StatusSource status, Limits limits, QObject *parent)
    : QObject(parent), m_status(std::move(status)), m_limits(limits)
{
    registerPage();
    m_uptime.start();
    m_pinger = new QTimer(this);
    m_pinger->setInterval(qMax(1, m_limits.silentMs / 3));
    connect(m_pinger, &QTimer::timeout, this, &WebServer::checkClients);
}

WebServer::WebServer(StatusSource status, QObject *parent)
    : WebServer(std::move(status), Limits(), parent)
{
}

WebServer::~WebServer()
{
    close();
}

QByteArray WebServer::page()
{
    QFile file(QStringLiteral(":/remote/remotepage.html"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray page = file.readAll();
    // The page's own words, in the operator's language.
    const QJsonObject texts{
        {QStringLiteral("title"), pageText("Orvello remote")},
        {QStringLiteral("running"), pageText("RUNNING")},
        {QStringLiteral("paused"), pageText("PAUSED")},
        {QStringLiteral("frozen"), pageText("FROZEN")},
        {QStringLiteral("play"), pageText("Play")},
        {QStringLiteral("pause"), pageText("Pause")},
        {QStringLiteral("freeze"), pageText("Freeze")},
        {QStringLiteral("reset"), pageText("Reset")},
        {QStringLiteral("systemTime"), pageText("System time")},
        {QStringLiteral("place"), pageText("Place %1")},
        {QStringLiteral("noPlace"), pageText("No place")},
        {QStringLiteral("token"), pageText("Token")},
        {QStringLiteral("login"), pageText("Log in")},
        {QStringLiteral("tokenNeeded"), pageText("Commands need the token of this Orvello.")},
        {QStringLiteral("offline"), pageText("No connection to Orvello")},
        {QStringLiteral("formats"), QJsonArray{pageText("24 fps"), pageText("25 fps"),
                                               pageText("30 drop"), pageText("30 fps")}},
    };
    page.replace(QByteArrayLiteral("/*TEXTS*/{}"),
                 QJsonDocument(texts).toJson(QJsonDocument::Compact));
    page.replace(QByteArrayLiteral("<!--TITLE-->"),
                 pageText("Orvello remote").toHtmlEscaped().toUtf8());
    return page;
}

bool WebServer::listen(quint16 port, const QString &token)
{
    close();
    m_token = token;
    const QHostAddress address =
        token.isEmpty() ? QHostAddress(QHostAddress::LocalHost) : QHostAddress(QHostAddress::Any);
    auto server = std::make_unique<QHttpServer>();
    auto *connections = new WebConnections(m_limits, nullptr);
    if (!connections->listen(address, port)) {
        m_error = connections->errorString();
        delete connections;
        return false;
    }
    server->bind(connections);
    m_server = std::move(server);
    m_connections = connections;
    m_address = address;
    m_port = connections->serverPort();
    m_error.clear();
    route();
    connect(m_server.get(), &QAbstractHttpServer::newWebSocketConnection, this,
            &WebServer::takeWebSocket);
    return true;
}

void WebServer::close()
{
    const bool hadClients = !m_clients.isEmpty();
    for (const Client &client : std::as_const(m_clients)) {
        client.socket->disconnect(this);
        client.socket->abort();
        client.socket->deleteLater();
    }
    m_clients.clear();
    m_pinger->stop();
    m_server.reset();
    m_connections = nullptr;
    m_port = 0;
    if (hadClients)
        emit clientsChanged(0);
}

bool WebServer::isListening() const
{
    return m_connections && m_connections->isListening();
}

int WebServer::connectionCount() const
{
    return m_connections ? m_connections->live() : 0;
}

void WebServer::route()
{
    const QByteArray pageBytes = page();
    // The HTTP server hands a WebSocket upgrade on only when a route took the
    // request; the route writes nothing then, the WebSocket answers.
    m_server->route(QStringLiteral("/ws"), [this](const QHttpServerRequest &request,
                                                  QHttpServerResponder &&responder) {
        // An upgrade is checked once it is a WebSocket (takeWebSocket).
        const bool upgrade = request.value(QByteArrayLiteral("Upgrade")).toLower() == "websocket";
        if (!upgrade && !addressedHere(request.value(QByteArrayLiteral("Host"))))
            answerError(responder, Status::Forbidden,
                        QStringLiteral("this server answers for 127.0.0.1 alone"));
        else if (!upgrade)
            answerError(responder, Status::UpgradeRequired,
                        QStringLiteral("a WebSocket upgrade is expected here"));
    });
    m_server->setMissingHandler(
        [this, pageBytes](const QHttpServerRequest &request, QHttpServerResponder &&responder) {
            const QString path = request.url().path();
            const auto method = request.method();
            const bool get = method == QHttpServerRequest::Method::Get;
            if (!addressedHere(request.value(QByteArrayLiteral("Host")))) {
                answerError(responder, Status::Forbidden,
                            QStringLiteral("this server answers for 127.0.0.1 alone"));
            } else if (path == QLatin1String("/")) {
                if (get)
                    answer(responder, pageBytes, QByteArrayLiteral("text/html; charset=utf-8"));
                else
                    answerError(responder, Status::MethodNotAllowed, QStringLiteral("GET only"));
            } else if (path == QLatin1String("/api/status")) {
                if (get)
                    answer(responder, m_status().json(), Json);
                else
                    answerError(responder, Status::MethodNotAllowed, QStringLiteral("GET only"));
            } else if (path == QLatin1String("/api/command")) {
                if (method == QHttpServerRequest::Method::Post)
                    answerCommand(request, std::move(responder));
                else
                    answerError(responder, Status::MethodNotAllowed, QStringLiteral("POST only"));
            } else {
                answerError(responder, Status::NotFound, QStringLiteral("no such page"));
            }
        });
}

bool WebServer::addressedHere(const QByteArray &hostHeader) const
{
    if (!m_token.isEmpty())
        return true;
    // A name of another site that points to 127.0.0.1 would otherwise let
    // that site's pages into this server.
    QString host = hostOf(hostHeader);
    const int colon = int(host.lastIndexOf(QLatin1Char(':')));
    if (colon > 0 && !host.endsWith(QLatin1Char(']')))
        host.truncate(colon);
    return host == QLatin1String("127.0.0.1") || host == QLatin1String("localhost") ||
           host == QLatin1String("[::1]");
}

void WebServer::answerCommand(const QHttpServerRequest &request, QHttpServerResponder &&responder)
{
    // Another site's page in the operator's browser may send a request here
    // but cannot read the answer; it must not act either. Its origin shows
    // in the header, and a JSON body cannot be sent to another site without
    // the browser asking first, which this server never allows.
    const QByteArray origin = request.value(QByteArrayLiteral("Origin"));
    if (!origin.isEmpty()) {
        const QUrl url(QString::fromLatin1(origin));
        const QString originHost =
            url.port() < 0 ? url.host().toLower()
                           : QStringLiteral("%1:%2").arg(url.host().toLower()).arg(url.port());
        QString host = hostOf(request.value(QByteArrayLiteral("Host")));
        if (host.endsWith(QLatin1String(":80")) && url.port() < 0)
            host.chop(3);
        if (originHost != host) {
            answerError(responder, Status::Forbidden,
                        QStringLiteral("commands come from this server's own page"));
            return;
        }
    }
    if (!RemoteJson::authorised(m_token, request.value(QByteArrayLiteral("Authorization")))) {
        responder.write(errorJson(QStringLiteral("a token is needed")),
                        {{"Content-Type", Json},
                         {"Cache-Control", "no-store"},
                         {"WWW-Authenticate", "Bearer realm=\"Orvello\""}},
                        Status::Unauthorized);
        return;
    }
    if (!request.value(QByteArrayLiteral("Content-Type")).toLower().startsWith(Json)) {
        answerError(responder, Status::UnsupportedMediaType,
                    QStringLiteral("the body must be application/json"));
        return;
    }
    const RemoteJson::Parsed parsed = RemoteJson::command(request.body());
    if (!parsed.ok) {
        answerError(responder, Status::BadRequest, parsed.error);
        return;
    }
    const RemoteStatus now = m_status();
    if (parsed.release) {
        answer(responder, now.json(), Json);
        return;
    }
    emit commandRequested(parsed.command);
    answer(responder, now.after(parsed.command).json(), Json);
}

void WebServer::takeWebSocket()
{
    while (m_server && m_server->hasPendingWebSocketConnections()) {
        QWebSocket *socket = m_server->nextPendingWebSocketConnection().release();
        if (!socket)
            break;
        socket->setParent(this);
        if (socket->requestUrl().path() != QLatin1String("/ws") ||
            !addressedHere(socket->request().rawHeader(QByteArrayLiteral("Host")))) {
            socket->close(QWebSocketProtocol::CloseCodePolicyViolated);
            socket->deleteLater();
            continue;
        }
        // Clients only ever say how often they want the code.
        socket->setMaxAllowedIncomingFrameSize(HttpRequestLimit::MaxBody);
        socket->setMaxAllowedIncomingMessageSize(HttpRequestLimit::MaxBody);
        m_clients.append({socket, false, 0});
        const auto heard = [this, socket]() {
            for (Client &client : m_clients) {
                if (client.socket == socket)
                    client.lastHeardMs = m_uptime.elapsed();
            }
        };
        heard();
        connect(socket, &QWebSocket::pong, this, heard);
        connect(socket, &QWebSocket::textMessageReceived, this,
                [this, socket, heard](const QString &message) {
                    heard();
                    const QJsonObject object = QJsonDocument::fromJson(message.toUtf8()).object();
                    const QString frames = object.value(QStringLiteral("frames")).toString();
                    for (Client &client : m_clients) {
                        if (client.socket == socket && !frames.isEmpty())
                            client.everyFrame = frames == QLatin1String("all");
                    }
                });
        connect(socket, &QWebSocket::disconnected, this, [this, socket]() { dropClient(socket); });
        socket->sendTextMessage(QString::fromUtf8(m_status().json()));
        if (!m_pinger->isActive())
            m_pinger->start();
        emit clientsChanged(clientCount());
    }
}

void WebServer::dropClient(QWebSocket *socket)
{
    const auto gone = std::remove_if(m_clients.begin(), m_clients.end(),
                                     [socket](const Client &c) { return c.socket == socket; });
    if (gone == m_clients.end())
        return;
    m_clients.erase(gone, m_clients.end());
    socket->disconnect(this);
    socket->deleteLater();
    if (m_clients.isEmpty())
        m_pinger->stop();
    emit clientsChanged(clientCount());
}

// A phone that went to sleep never says goodbye; it stops answering pings.
void WebServer::checkClients()
{
    const qint64 now = m_uptime.elapsed();
    const QList<Client> clients = m_clients;
    for (const Client &client : clients) {
        if (now - client.lastHeardMs > m_limits.silentMs) {
            client.socket->abort();
            dropClient(client.socket);
        } else {
            client.socket->ping();
        }
    }
}

void WebServer::pushStatus()
{
    if (m_clients.isEmpty())
        return;
    const QString json = QString::fromUtf8(m_status().json());
    for (const Client &client : std::as_const(m_clients))
        client.socket->sendTextMessage(json);
}

void WebServer::pushCode(const TimeCode &code, int framesPerSecond)
{
    if (m_clients.isEmpty())
        return;
    // Every second frame at 24 and 25 fps, every third at 30: 10 to 12.5 a second.
    const int divider = qMax(1, framesPerSecond / 10);
    const bool due = ++m_frameCount % divider == 0;
    const QString json = QString::fromLatin1(RemoteStatus::codeJson(code));
    for (const Client &client : std::as_const(m_clients)) {
        if (client.everyFrame || due)
            client.socket->sendTextMessage(json);
    }
}
