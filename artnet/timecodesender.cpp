#include "timecodesender.h"

#include "artnet.h"
#include "artnetpackets.h"

#include <QMutexLocker>

#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

ArtTimeCodeSender::ArtTimeCodeSender(artnet *node, std::atomic<quint64> &framesSent)
    : m_node(node), m_framesSent(framesSent)
{
}

ArtTimeCodeSender::~ArtTimeCodeSender()
{
    closeSocket();
}

void ArtTimeCodeSender::sendFrame(const TimeCode &code)
{
    QMutexLocker lock(&m_lock);
    if (!m_node)
        return;
    if (m_fd < 0) {
        artnet *node = m_node;
        QMetaObject::invokeMethod(
            node,
            [node, code]() {
                node->slotSendTimeCode(code.Hour, code.Minute, code.Seconds, code.Frame, code.Type);
            },
            Qt::QueuedConnection);
        return;
    }
    if (!m_prepared) {
        // The keep-alive timer belongs to the node's thread.
        artnet *node = m_node;
        QMetaObject::invokeMethod(
            node, [node]() { node->prepareSending(); }, Qt::QueuedConnection);
        m_prepared = true;
    }
    const TimeCode out = m_shift.apply(code);
    const QByteArray packet =
        ArtnetPacket::timeCode(out.Hour, out.Minute, out.Seconds, out.Frame, out.Type, m_streamId);
    bool sent = false;
    for (const sockaddr_in &target : m_targets) {
        // Non-blocking like the socket it duplicates; a lost frame is not
        // worth a retry: the next one follows within 42 ms.
        if (::sendto(m_fd, packet.constData(), size_t(packet.size()), MSG_DONTWAIT,
                     reinterpret_cast<const sockaddr *>(&target), sizeof target) >= 0)
            sent = true;
    }
    if (sent)
        ++m_framesSent;
}

QByteArray ArtTimeCodeSender::packetFor(const TimeCode &code)
{
    QMutexLocker lock(&m_lock);
    const TimeCode out = m_shift.apply(code);
    return ArtnetPacket::timeCode(out.Hour, out.Minute, out.Seconds, out.Frame, out.Type,
                                  m_streamId);
}

void ArtTimeCodeSender::setCodeOptions(const FrameShift &shift, quint8 streamId)
{
    QMutexLocker lock(&m_lock);
    m_shift = shift;
    m_streamId = streamId;
}

void ArtTimeCodeSender::setSocket(qintptr descriptor)
{
    QMutexLocker lock(&m_lock);
    closeSocket();
    if (descriptor >= 0 && m_node)
        m_fd = ::fcntl(int(descriptor), F_DUPFD_CLOEXEC, 0);
}

void ArtTimeCodeSender::setDestinations(const QList<QHostAddress> &targets)
{
    std::vector<sockaddr_in> addresses;
    for (const QHostAddress &target : targets) {
        bool ipv4 = false;
        const quint32 ip = target.toIPv4Address(&ipv4);
        if (!ipv4)
            continue;
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(ArtnetPacket::Port);
        address.sin_addr.s_addr = htonl(ip);
        addresses.push_back(address);
    }
    QMutexLocker lock(&m_lock);
    m_targets = std::move(addresses);
}

void ArtTimeCodeSender::detach()
{
    QMutexLocker lock(&m_lock);
    closeSocket();
    m_node = nullptr;
}

void ArtTimeCodeSender::closeSocket()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}
