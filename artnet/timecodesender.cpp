#include "timecodesender.h"

#include "artnet.h"
#include "artnetpackets.h"

#include <QMutexLocker>

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace
{
FrameShift shiftOf(quint32 options)
{
    FrameShift shift;
    shift.frames = int(options & 0xFF) - 128;
    shift.trueDropFrame = (options & 0x100) != 0;
    return shift;
}

quint8 streamIdOf(quint32 options)
{
    return quint8(options >> 16);
}
} // namespace

ArtTimeCodeSender::ArtTimeCodeSender(artnet *node) : m_node(node) {}

// The last owner is gone, so no frame is being sent: the descriptor may go.
ArtTimeCodeSender::~ArtTimeCodeSender()
{
    const int fd = m_fd.exchange(-1);
    if (fd >= 0)
        ::close(fd);
}

void ArtTimeCodeSender::sendFrame(const TimeCode &code)
{
    if (m_detached.load(std::memory_order_acquire))
        return;
    if (m_fd.load(std::memory_order_acquire) >= 0 && m_prepared.load(std::memory_order_acquire)) {
        sendNow(code);
        return;
    }
    // Before the socket exists, and once when it does (the keep-alive timer
    // belongs to the node's thread): the queued way, under the lock that
    // keeps the node from going meanwhile.
    QMutexLocker lock(&m_lock);
    if (!m_node)
        return;
    artnet *node = m_node;
    if (m_fd.load(std::memory_order_acquire) < 0) {
        QMetaObject::invokeMethod(
            node,
            [node, code]() {
                node->slotSendTimeCode(code.Hour, code.Minute, code.Seconds, code.Frame, code.Type);
            },
            Qt::QueuedConnection);
        return;
    }
    QMetaObject::invokeMethod(
        node, [node]() { node->prepareSending(); }, Qt::QueuedConnection);
    m_prepared.store(true, std::memory_order_release);
    lock.unlock();
    sendNow(code);
}

bool ArtTimeCodeSender::sendNow(const TimeCode &code)
{
    const int fd = m_fd.load(std::memory_order_acquire);
    if (fd < 0)
        return false;
    const quint32 options = m_codeOptions.load(std::memory_order_acquire);
    const TimeCode out = shiftOf(options).apply(code);
    const ArtnetPacket::TimeCodeBytes packet = ArtnetPacket::timeCodeBytes(
        out.Hour, out.Minute, out.Seconds, out.Frame, out.Type, streamIdOf(options));
    DestinationTable::Targets targets;
    const int count = m_table.targets(targets);
    for (int i = 0; i < count; ++i) {
        const DestinationTable::Target &target = targets[size_t(i)];
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(ArtnetPacket::Port);
        address.sin_addr.s_addr = htonl(target.address);
        // Non-blocking like the socket it duplicates; a lost frame is not
        // worth a retry: the next one follows within 42 ms.
        const ssize_t sent = ::sendto(fd, packet.data(), packet.size(), MSG_DONTWAIT,
                                      reinterpret_cast<const sockaddr *>(&address), sizeof address);
        m_table.note(target, sent >= 0, sent >= 0 ? 0 : errno);
    }
    return true;
}

QByteArray ArtTimeCodeSender::packetFor(const TimeCode &code) const
{
    const quint32 options = m_codeOptions.load(std::memory_order_acquire);
    const TimeCode out = shiftOf(options).apply(code);
    return ArtnetPacket::timeCode(out.Hour, out.Minute, out.Seconds, out.Frame, out.Type,
                                  streamIdOf(options));
}

void ArtTimeCodeSender::setCodeOptions(const FrameShift &shift, quint8 streamId)
{
    const int frames = qBound(-FrameShift::Limit, shift.frames, FrameShift::Limit);
    m_codeOptions.store(quint32(frames + 128) | (shift.trueDropFrame ? 0x100u : 0u) |
                            (quint32(streamId) << 16),
                        std::memory_order_release);
}

void ArtTimeCodeSender::setSocket(qintptr descriptor)
{
    if (descriptor < 0)
        return;
    QMutexLocker lock(&m_lock);
    if (!m_node)
        return;
    const int current = m_fd.load(std::memory_order_acquire);
    if (current >= 0) {
        // Replaced in place: a frame being sent uses the old socket or the
        // new one, never a number closed under it.
        ::dup3(int(descriptor), current, O_CLOEXEC);
        return;
    }
    m_fd.store(::fcntl(int(descriptor), F_DUPFD_CLOEXEC, 0), std::memory_order_release);
}

void ArtTimeCodeSender::setDestinations(const QList<QHostAddress> &targets)
{
    QList<quint32> addresses;
    for (const QHostAddress &target : targets) {
        bool ipv4 = false;
        const quint32 ip = target.toIPv4Address(&ipv4);
        if (ipv4)
            addresses.append(ip);
    }
    m_table.setAddresses(addresses);
}

void ArtTimeCodeSender::detach()
{
    QMutexLocker lock(&m_lock);
    m_detached.store(true, std::memory_order_release);
    m_node = nullptr;
    // Port 6454 is let go with the node: the number is kept (a frame may be
    // in flight on it) but now names a socket that cannot reach the network.
    const int fd = m_fd.load(std::memory_order_acquire);
    if (fd < 0)
        return;
    const int dead = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (dead >= 0) {
        ::dup3(dead, fd, O_CLOEXEC);
        ::close(dead);
    }
}
