#include "oscserver.h"

#include "oscmessages.h"

#include <QTimer>
#include <QUdpSocket>

OscServer::OscServer(bool verbose, VerboseLog::Sink sink, const Clock *clock, QObject *parent)
    : QObject(parent), m_log(verbose, std::move(sink)),
      m_clock(clock ? clock : SystemClock::instance())
{
    // One byte more than the largest datagram taken, so a larger one shows.
    m_buffer.resize(OscMessages::MaxDatagram + 1);
    m_expiry = new QTimer(this);
    m_expiry->setInterval(1000);
    connect(m_expiry, &QTimer::timeout, this, &OscServer::expire);
}

OscServer::~OscServer() = default;

bool OscServer::open(const QHostAddress &address, quint16 port)
{
    close();
    auto *socket = new QUdpSocket(this);
    // Exclusive: a second program on the port would take half the commands.
    if (!socket->bind(address, port, QUdpSocket::DontShareAddress)) {
        const QString error = socket->errorString();
        delete socket;
        // Tried again at every change of the status: said once.
        if (error != m_error)
            m_log.line(QStringLiteral("OSC: cannot use port %1 on %2: %3")
                           .arg(port)
                           .arg(address.toString(), error));
        m_error = error;
        return false;
    }
    m_socket = socket;
    m_address = address;
    m_port = port;
    m_error.clear();
    connect(socket, &QUdpSocket::readyRead, this, &OscServer::readPending);
    m_log.line(QStringLiteral("OSC: listening on %1 port %2").arg(address.toString()).arg(port));
    return true;
}

void OscServer::close()
{
    if (!m_socket)
        return;
    delete m_socket;
    m_socket = nullptr;
    if (m_subscribers.count() > 0) {
        m_subscribers.clear();
        countChanged();
    }
}

void OscServer::countChanged()
{
    if (m_subscribers.count() > 0)
        m_expiry->start();
    else
        m_expiry->stop();
    emit subscribersChanged(m_subscribers.count());
}

void OscServer::readPending()
{
    if (!m_socket)
        return;
    for (int n = 0; n < BatchSize && m_socket && m_socket->hasPendingDatagrams(); ++n) {
        QHostAddress sender;
        quint16 senderPort = 0;
        const qint64 pending = m_socket->pendingDatagramSize();
        const qint64 size =
            m_socket->readDatagram(m_buffer.data(), m_buffer.size(), &sender, &senderPort);
        if (size < 0)
            continue;
        const QString from = QStringLiteral("%1:%2").arg(sender.toString()).arg(senderPort);
        // The buffer holds one byte more than is taken, so a larger datagram
        // arrives cut and is told by its real size.
        const OscMessages::Request request =
            pending > OscMessages::MaxDatagram
                ? OscMessages::interpret(QByteArray(int(pending), '\0'))
                : OscMessages::interpret(QByteArray::fromRawData(m_buffer.constData(), size));
        switch (request.kind) {
        case OscMessages::Request::Ignored:
            m_log.line(QStringLiteral("OSC: ignored from %1: %2").arg(from, request.text));
            break;
        case OscMessages::Request::Release:
            m_log.line(QStringLiteral("OSC: %1 from %2 (a release, nothing to do)")
                           .arg(request.text, from));
            break;
        case OscMessages::Request::Command:
            m_log.line(QStringLiteral("OSC: %1 from %2").arg(request.text, from));
            emit commandRequested(request.command);
            break;
        case OscMessages::Request::Subscribe: {
            const quint16 port = request.port ? request.port : senderPort;
            const int before = m_subscribers.count();
            const auto result = m_subscribers.subscribe(sender, port, m_clock->monotonicMs());
            if (result == OscSubscribers::Full) {
                m_log.line(QStringLiteral("OSC: %1:%2 not subscribed, %3 subscribers already")
                               .arg(sender.toString())
                               .arg(port)
                               .arg(OscSubscribers::Max));
                break;
            }
            if (result == OscSubscribers::Added) {
                m_log.line(
                    QStringLiteral("OSC: %1:%2 subscribed").arg(sender.toString()).arg(port));
                emit subscribed(sender, port);
            }
            if (m_subscribers.count() != before)
                countChanged();
            break;
        }
        }
    }
    // The notifier fires again for what is left, after the other events.
    if (m_socket && m_socket->hasPendingDatagrams())
        QTimer::singleShot(0, this, &OscServer::readPending);
}

void OscServer::expire()
{
    if (m_subscribers.expire(m_clock->monotonicMs()))
        countChanged();
}

void OscServer::send(const QByteArray &message)
{
    if (!m_socket || message.isEmpty())
        return;
    for (const OscSubscribers::Subscriber &s : m_subscribers.list())
        m_socket->writeDatagram(message, s.address, s.port);
}

void OscServer::sendCode(const TimeCode &code)
{
    expire();
    if (m_subscribers.count() > 0)
        send(OscMessages::timecode(code));
}

void OscServer::sendState(const QString &state, const QString &source)
{
    expire();
    if (m_subscribers.count() > 0)
        send(OscMessages::state(state, source));
}
