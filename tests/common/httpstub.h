#pragma once

#include <QByteArrayList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

// A web server of a few lines for update tests, on 127.0.0.1 inside the
// test's private network namespace. Each request is answered by writing
// `pieces` with a pause between them and then closing; with no pieces it is
// accepted and never answered. `keepOpen` leaves the connection open after
// the last piece, like a body that never ends.
class HttpStub : public QObject
{
public:
    QByteArrayList pieces;
    int pauseMs = 100;
    bool keepOpen = false;
    int ignoreFirst = 0; // requests accepted and left unanswered before the others
    QByteArrayList requestLines;

    HttpStub()
    {
        m_server.listen(QHostAddress::LocalHost);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection())
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
        });
    }
    QString url(const QString &path = QString()) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path);
    }
    static QByteArray response(const QByteArray &body, int status = 200)
    {
        return "HTTP/1.1 " + QByteArray::number(status) +
               " X\r\nContent-Type: text/plain\r\nConnection: close\r\n\r\n" + body;
    }

private:
    void read(QTcpSocket *socket)
    {
        QByteArray &seen = m_requests[socket];
        seen += socket->readAll();
        if (!seen.contains("\r\n\r\n") || socket->property("answered").toBool())
            return;
        socket->setProperty("answered", true);
        requestLines << seen.left(seen.indexOf("\r\n"));
        if (requestLines.size() <= ignoreFirst || pieces.isEmpty())
            return;
        write(socket, 0);
    }
    void write(QPointer<QTcpSocket> socket, int next)
    {
        if (!socket)
            return;
        socket->write(pieces[next]);
        if (next + 1 < pieces.size())
            QTimer::singleShot(pauseMs, this, [this, socket, next] { write(socket, next + 1); });
        else if (!keepOpen)
            socket->disconnectFromHost();
    }
    QTcpServer m_server;
    QHash<QTcpSocket *, QByteArray> m_requests;
};
