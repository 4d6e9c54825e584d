#pragma once

#include <QByteArrayList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

// A web server for update tests, on 127.0.0.1 inside the test's private
// network namespace. Each request is answered by writing `pieces` with a pause
// between them, then closing (unless `keepOpen`: a body that never ends); with
// no pieces, or for the first `ignoreFirst` requests, it never answers.
class HttpStub : public QObject
{
public:
    QByteArrayList pieces;
    bool keepOpen = false;
    int ignoreFirst = 0;
    QByteArrayList requestLines;

    HttpStub()
    {
        m_server.listen(QHostAddress::LocalHost);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection())
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
        });
    }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()); }
    static QByteArray response(const QByteArray &body, int status = 200,
                               const QByteArray &reason = "X")
    {
        return "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason +
               "\r\nConnection: close\r\n\r\n" + body;
    }

private:
    void read(QTcpSocket *socket)
    {
        QByteArray &seen = m_seen[socket];
        if (seen.contains("\r\n\r\n"))
            return; // answered already
        seen += socket->readAll();
        if (!seen.contains("\r\n\r\n"))
            return;
        requestLines << seen.left(seen.indexOf("\r\n"));
        if (requestLines.size() > ignoreFirst && !pieces.isEmpty())
            write(socket, 0);
    }
    void write(QPointer<QTcpSocket> socket, int next)
    {
        if (!socket)
            return;
        socket->write(pieces[next]);
        if (next + 1 < pieces.size())
            QTimer::singleShot(100, this, [this, socket, next] { write(socket, next + 1); });
        else if (!keepOpen)
            socket->disconnectFromHost();
    }
    QTcpServer m_server;
    QHash<QTcpSocket *, QByteArray> m_seen;
};
