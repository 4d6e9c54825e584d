#include "artnet.h"

#include "ownframefilter.h"
#include "portsharing.h"
#include "receivestamp.h"
#include "version.h"

#include <QMutexLocker>
#include <QThread>
#include <QTimer>
#include <QUdpSocket>

#include <algorithm>
#include <cstring>

namespace
{
// Notices for the first packet of a kind in this process, shown at most once
// per run whichever node received it, and never later if verbose was off then.
std::atomic<bool> firstSync{true};
std::atomic<bool> firstSyncPre{true};
std::atomic<bool> firstSyncPost{true};
std::atomic<bool> firstTimeCode{true};
std::atomic<bool> firstMadrixSyncPost{true};

constexpr int KeepAliveMs = 500;
const QHostAddress AllHosts(QHostAddress::Broadcast);
} // namespace

artnet::artnet(bool verbose)
    : artnet(verbose, EntrySource(&ArtnetInterfaces::platformAddressEntries),
             VerboseLog::standardOutput(), nullptr)
{
}

artnet::artnet(bool verbose, const QList<AddressEntry> &entries, VerboseLog::Sink sink)
    : artnet(
          verbose, [entries] { return entries; }, std::move(sink), nullptr)
{
}

artnet::artnet(bool verbose, EntrySource source, VerboseLog::Sink sink, const Clock *clock)
    : m_log(verbose, std::move(sink), clock), m_entrySource(std::move(source)),
      m_clock(clock ? clock : SystemClock::instance()),
      m_shortName(QStringLiteral("ArtNet by Tarn")),
      m_longName(QStringLiteral("ArtNet by ") + QLatin1String(Maker::WebAddress)),
      m_timeCodeSender(std::make_shared<ArtTimeCodeSender>(this))
{
    qRegisterMetaType<ArtnetStatus>();
    m_addressEntries = m_entrySource();
    m_lastInterfaceReadMs = m_clock->monotonicMs();
    enumerateInterfaces();
    // A child: it moves with the node to the node's thread and ticks there.
    m_housekeeping = new QTimer(this);
    m_housekeeping->setInterval(HousekeepingMs);
    connect(m_housekeeping, &QTimer::timeout, this, &artnet::housekeeping);
    m_housekeeping->start();
}

artnet::~artnet()
{
    m_timeCodeSender->detach();
    if (m_socket) {
        disconnect(m_socket, nullptr, this, nullptr);
        m_socket->close();
    }
    if (m_keepAlive)
        m_keepAlive->stop();
}

void artnet::setNodeNames(const QString &shortName, const QString &longName)
{
    m_shortName = shortName;
    m_longName = longName;
}

void artnet::setPollReplyEnabled(bool enabled)
{
    // Kept even when the port is taken now: answers start once a retry binds.
    m_pollReplyEnabled = enabled;
    if (enabled)
        openSocket();
}

bool artnet::enumerateInterfaces()
{
    if (m_enumerated)
        return true;
    const QList<ArtnetInterface> list = ArtnetInterfaces::enumerate(
        m_addressEntries, [this](const QString &line) { m_log.line(line); });
    {
        QMutexLocker lock(&m_selectionLock);
        m_interfaces = list;
        m_enumerated = true;
    }
    publishDestinations();
    return true;
}

void artnet::refreshInterfaces()
{
    m_lastInterfaceReadMs = m_clock->monotonicMs();
    QList<AddressEntry> entries = m_entrySource();
    if (entries == m_addressEntries)
        return;
    m_log.line(QStringLiteral("network addresses changed, reading the interfaces again"));
    m_addressEntries = std::move(entries);
    if (m_socket)
        OwnFrameFilter::attach(m_socket->socketDescriptor(), m_addressEntries);
    const QList<ArtnetInterface> list = ArtnetInterfaces::enumerate(
        m_addressEntries, [this](const QString &line) { m_log.line(line); });
    {
        QMutexLocker lock(&m_selectionLock);
        m_interfaces = list;
        applySelection();
    }
    publishDestinations();
    publishStatus();
}

QList<ArtnetInterface> artnet::interfaces() const
{
    QMutexLocker lock(&m_selectionLock);
    return m_interfaces;
}

void artnet::selectInterface(const QString &address)
{
    {
        QMutexLocker lock(&m_selectionLock);
        m_chosenNetwork = address;
        applySelection();
    }
    publishDestinations();
    QMetaObject::invokeMethod(this, &artnet::publishStatus, Qt::QueuedConnection);
}

// The chosen network is remembered by address, not by position, so it is
// found again when its adapter comes back after a cable or a switch was off.
void artnet::applySelection()
{
    const int index = ArtnetInterfaces::indexOfSubnet(
        m_interfaces, QHostAddress(m_chosenNetwork).toIPv4Address());
    if (index >= 0) {
        m_singleDestination = true;
        m_hasDestination = true;
        m_destination = m_interfaces.at(index).entry.broadcast();
    } else {
        m_singleDestination = false;
        if (m_hasDestination)
            m_destination = AllHosts;
    }
}

void artnet::publishDestinations()
{
    m_timeCodeSender->setDestinations(destinations());
}

bool artnet::interfaceInfo(int index, quint32 &networkAddress, QString &name) const
{
    if (index == -1) {
        networkAddress = 0xFFFFFFFFu;
        name = tr("all");
        return true;
    }
    QMutexLocker lock(&m_selectionLock);
    if (!m_enumerated || index < 0 || index >= m_interfaces.size()) {
        name.clear();
        return false;
    }
    const QNetworkAddressEntry &entry = m_interfaces.at(index).entry;
    networkAddress = entry.ip().toIPv4Address() & entry.netmask().toIPv4Address();
    name = m_interfaces.at(index).name;
    return true;
}

bool artnet::bindSocket(QUdpSocket *socket) const
{
    const auto shared = QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint;
    if (m_shareAddress)
        return socket->bind(QHostAddress::AnyIPv4, ArtnetPacket::Port, shared);
    return socket->bind(QHostAddress::AnyIPv4, ArtnetPacket::Port) ||
           socket->bind(QHostAddress::AnyIPv4, ArtnetPacket::Port, shared);
}

bool artnet::openSocket()
{
    if (m_bound)
        return true;
    m_bindWanted = true;
    if (m_socket)
        return false;
    // Every frame asks for the socket; a busy port is not worth a system call
    // 30 times a second, and housekeeping keeps trying while no frame comes.
    const qint64 now = m_clock->monotonicMs();
    if (m_bindAttempted && now - m_lastBindAttemptMs < BindRetryMs)
        return false;
    m_bindAttempted = true;
    m_lastBindAttemptMs = now;
    auto *socket = new QUdpSocket(this);
    if (!bindSocket(socket)) {
        // Dropped so that the next attempt starts afresh: the port may be free by then.
        delete socket;
        m_log.line(QStringLiteral("Art-Net port 6454 in use by another program, trying again"));
        if (!m_portBusy.exchange(true) && QThread::currentThread() == thread())
            publishStatus();
        return false;
    }
    m_socket = socket;
    OwnFrameFilter::attach(socket->socketDescriptor(), m_addressEntries);
    ReceiveStamp::enable(socket->socketDescriptor());
    m_portBusy = false;
    m_bound = bool(connect(socket, &QUdpSocket::readyRead, this, &artnet::readPackage));
    if (m_bound)
        m_timeCodeSender->setSocket(socket->socketDescriptor());
    checkPortSharing();
    if (QThread::currentThread() == thread())
        publishStatus();
    return m_bound;
}

bool artnet::prepareSending()
{
    if (m_sendReady)
        return true;
    if (!openSocket())
        return false;
    m_keepAlive = new QTimer(this);
    m_keepAlive->setInterval(KeepAliveMs);
    connect(m_keepAlive, &QTimer::timeout, this, &artnet::sendDataTimeout);
    m_keepAlive->start();
    m_sendReady = true;
    return true;
}

qint64 artnet::sendDatagram(const char *data, qint64 length, const QHostAddress *destination)
{
    if (!data)
        return -2;
    if (length <= 0 || (!destination && m_interfaces.isEmpty()))
        return -3;
    if (!m_socket)
        return -1;
    const QHostAddress target = destination ? *destination : m_interfaces.first().entry.broadcast();
    return m_socket->writeDatagram(data, length, target, ArtnetPacket::Port);
}

QList<QHostAddress> artnet::destinations(const QHostAddress *DestIp) const
{
    if (DestIp && !DestIp->isNull())
        return {*DestIp};
    QList<QHostAddress> all;
    QMutexLocker lock(&m_selectionLock);
    if (m_broadcast) {
        if (m_singleDestination && m_hasDestination) {
            all.append(m_destination);
        } else {
            for (const ArtnetInterface &iface : m_interfaces)
                all.append(iface.entry.broadcast());
        }
    }
    // An address given twice, or equal to a broadcast, gets one copy.
    for (const QHostAddress &address : m_unicast)
        if (!all.contains(address))
            all.append(address);
    return all;
}

void artnet::setDestinationOptions(bool broadcast, const QList<QHostAddress> &unicast)
{
    {
        QMutexLocker lock(&m_selectionLock);
        m_broadcast = broadcast;
        m_unicast = unicast;
    }
    publishDestinations();
    QMetaObject::invokeMethod(this, &artnet::publishStatus, Qt::QueuedConnection);
}

bool artnet::parseUnicast(const QString &text, QList<QHostAddress> *out)
{
    QList<QHostAddress> addresses;
    for (const QString &word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        // QHostAddress also takes "10.1" and "0x0a000001"; an operator
        // who typed those most likely meant something else.
        QHostAddress address;
        if (word.count(QLatin1Char('.')) != 3 || !address.setAddress(word) ||
            address.protocol() != QAbstractSocket::IPv4Protocol || address.toIPv4Address() == 0)
            return false;
        for (const QChar c : word)
            if (!c.isDigit() && c != QLatin1Char('.'))
                return false;
        addresses.append(address);
    }
    if (out)
        *out = addresses;
    return true;
}

void artnet::slotSendTimeCode(quint8 Hour, quint8 Minute, quint8 Seconds, quint8 Frame, quint8 Type,
                              const QHostAddress *DestIp)
{
    if (!prepareSending() || !enumerateInterfaces())
        return;
    // The node's own destinations go the timing thread's way, which counts
    // per destination what left.
    if ((!DestIp || DestIp->isNull()) &&
        m_timeCodeSender->sendNow(TimeCode::make(Hour, Minute, Seconds, Frame, Type)))
        return;
    const QByteArray packet =
        m_timeCodeSender->packetFor(TimeCode::make(Hour, Minute, Seconds, Frame, Type));
    // A lost frame is not worth a retry: the next one follows within 42 ms.
    for (const QHostAddress &target : destinations(DestIp))
        sendDatagram(packet.constData(), packet.size(), &target);
}

void artnet::slotSendTimeCode(quint8 Hour, quint8 Minute, quint8 Seconds, quint8 Frame, quint8 Type)
{
    slotSendTimeCode(Hour, Minute, Seconds, Frame, Type, nullptr);
}

qint64 artnet::sendDataTimeout()
{
    return -1;
}

void artnet::readPackage()
{
    while (m_socket && m_socket->hasPendingDatagrams()) {
        const qint64 size = m_socket->pendingDatagramSize();
        QByteArray datagram(int(std::max<qint64>(size, 0)), '\0');
        QHostAddress sender;
        const qint64 read = m_socket->readDatagram(datagram.data(), datagram.size(), &sender);
        if (read < 0)
            break;
        datagram.truncate(int(read));
        dispatchDatagram(datagram, sender, m_socket->socketDescriptor());
    }
}

void artnet::firstTimeNotice(std::atomic<bool> &flag, const char *text)
{
    if (flag.exchange(false))
        m_log.line(QLatin1String(text));
}

void artnet::dispatchDatagram(const QByteArray &datagram, const QHostAddress &sender,
                              qintptr readFrom)
{
    using ArtnetPacket::Kind;
    const ArtnetPacket::Classified packet = ArtnetPacket::classify(datagram);
    switch (packet.kind) {
    case Kind::Ignored:
        break;
    case Kind::Poll:
        if (m_pollReplyEnabled)
            answerPoll(sender);
        break;
    case Kind::PollReply:
        logReceived(QStringLiteral("Art-Net PollReply"), sender);
        break;
    case Kind::Dmx:
        receiveDmx(datagram);
        break;
    case Kind::Sync:
        firstTimeNotice(firstSync, "receiving Art-Net SYNC ...");
        logReceived(QStringLiteral("ART SYNC "), sender);
        break;
    case Kind::SyncPre:
        firstTimeNotice(firstSyncPre, "receiving Art-Net SYNC PRE ...");
        logReceived(QStringLiteral("MadrixN SYNC PRE "), sender);
        break;
    case Kind::SyncPost:
        firstTimeNotice(firstSyncPost, "receiving Art-Net SYNC POST ...");
        logReceived(QStringLiteral("MadrixN SYNC POST "), sender);
        break;
    case Kind::MadrixSyncPre:
        logReceived(QStringLiteral("MadrixN SYNC PRE "), sender);
        break;
    case Kind::MadrixSyncPost:
        firstTimeNotice(firstMadrixSyncPost, "receiving MadrixN SYNC POST ...");
        logReceived(QStringLiteral("MadrixN SYNC POST "), sender);
        break;
    case Kind::TimeCode:
        // A code from elsewhere means two generators fight over the receivers,
        // unless this one follows it.
        firstTimeNotice(firstTimeCode, "receiving Art-Net TIMECODE ...");
        receiveTimeCode(datagram, sender, readFrom);
        break;
    case Kind::UnknownOpCode:
        logReceived(QStringLiteral("receive not implemented OpCode at time 0x") +
                        QString::number(packet.opCode, 16).toUpper(),
                    sender);
        break;
    }
}

QByteArray artnet::pollReplyFor(const QHostAddress &poller) const
{
    const int index = ArtnetInterfaces::indexOfSubnet(m_interfaces, poller.toIPv4Address());
    if (index < 0)
        return {};
    const ArtnetInterface &iface = m_interfaces.at(index);
    ArtnetPacket::PollReplyInfo info;
    info.ip = iface.entry.ip().toIPv4Address();
    info.mac = ArtnetPacket::macFromText(iface.hardwareAddress);
    info.versInfoH = m_versInfoH;
    info.versInfoL = m_versInfoL;
    info.oemHi = m_oemHi;
    info.oemLo = m_oemLo;
    info.shortName = m_shortName;
    info.longName = m_longName;
    info.nodeReport = m_nodeReport;
    {
        QMutexLocker lock(&m_dmxLock);
        info.hasOutputPort = m_dmxInStarted && m_dmxInEnabled && m_portAddress <= 0xFFFF;
        info.portAddress = quint16(m_portAddress & 0xFFFF);
    }
    return ArtnetPacket::pollReply(info);
}

void artnet::answerPoll(const QHostAddress &poller)
{
    if (!prepareSending() || !enumerateInterfaces())
        return;
    const int index = ArtnetInterfaces::indexOfSubnet(m_interfaces, poller.toIPv4Address());
    if (index < 0 || !pollReplyAllowed(poller))
        return;
    const QByteArray reply = pollReplyFor(poller);
    // Unicast to the poller's Art-Net port, not to the port it sent from.
    const QHostAddress target(poller.toIPv4Address());
    if (sendDatagram(reply.constData(), reply.size(), &target) >= 0 && m_log.enabled()) {
        m_log.received(QStringLiteral("PollReply to ") + target.toString(),
                       QStringLiteral("PollReply to ") + target.toString() +
                           QStringLiteral(" from ") + m_interfaces.at(index).entry.ip().toString() +
                           QStringLiteral(" SubId ") + QString::number(0));
    }
}

// Polls cost us a reply each; see PollReplyLimiter for the limits.
bool artnet::pollReplyAllowed(const QHostAddress &poller)
{
    return m_pollLimiter.allow(poller.toIPv4Address(), m_clock->monotonicMs());
}

bool artnet::setDmxInUniverse(quint32 value)
{
    if (value > 0xFFFF)
        return false;
    QMutexLocker lock(&m_dmxLock);
    if (value == m_portAddress)
        return true;
    m_portAddress = value;
    m_dmxLength = 0;
    m_dmxNewData = false;
    return true;
}

void artnet::setDmxInEnabled(bool enabled)
{
    QMutexLocker lock(&m_dmxLock);
    if (enabled == m_dmxInEnabled)
        return;
    m_dmxInEnabled = enabled;
    // Whatever arrived before the switch went off is not a command for later.
    m_dmxNewData = false;
}

void artnet::receiveDmx(const QByteArray &datagram)
{
    ArtnetPacket::DmxFrame frame;
    if (!ArtnetPacket::parseDmx(datagram, frame))
        return;
    QMutexLocker lock(&m_dmxLock);
    if (m_dmxStore.isEmpty() || !m_dmxInEnabled)
        return;
    if (frame.subUni != (m_portAddress & 0xFF) || frame.net != ((m_portAddress >> 8) & 0xFF))
        return;
    std::memcpy(m_dmxStore.data(), frame.data.data(), frame.length);
    m_dmxLength = frame.length;
    m_dmxNewData = true;
}

bool artnet::socketForDmxIn()
{
    if (m_bound)
        return true;
    if (QThread::currentThread() == thread())
        return openSocket();
    // The socket belongs to the node's thread; bind it there and let a later
    // check find it ready.
    QMetaObject::invokeMethod(this, &artnet::openSocket, Qt::QueuedConnection);
    return false;
}

bool artnet::readDmxIn(quint8 *buffer, quint16 &length)
{
    {
        QMutexLocker lock(&m_dmxLock);
        if (!m_dmxInEnabled)
            return false;
        if (!m_dmxInStarted) {
            lock.unlock();
            if (!socketForDmxIn())
                return false;
            lock.relock();
            if (m_dmxStore.isEmpty())
                m_dmxStore = QByteArray(ArtnetPacket::DmxMaxData, '\0');
            m_dmxInStarted = true;
        }
    }
    if (!buffer || length == 0)
        return false;
    QMutexLocker lock(&m_dmxLock);
    if (!m_dmxNewData)
        return false;
    m_dmxNewData = false;
    length = std::min(length, m_dmxLength);
    std::memcpy(buffer, m_dmxStore.constData(), length);
    return true;
}

bool artnet::isOwnAddress(const QHostAddress &address) const
{
    const quint32 value = address.toIPv4Address();
    QMutexLocker lock(&m_selectionLock);
    for (const ArtnetInterface &iface : m_interfaces)
        if (iface.entry.ip().toIPv4Address() == value)
            return true;
    for (const AddressEntry &entry : m_addressEntries)
        if (entry.entry.ip().toIPv4Address() == value)
            return true;
    return false;
}

void artnet::setTimeCodeListener(std::shared_ptr<ArtTimeCodeListener> listener)
{
    QMutexLocker lock(&m_listenerLock);
    m_listener = std::move(listener);
}

void artnet::receiveTimeCode(const QByteArray &datagram, const QHostAddress &sender,
                             qintptr readFrom)
{
    // Our own broadcasts come back here and are never anyone's to follow.
    if (sender.isNull() || isOwnAddress(sender))
        return;
    noteTimeCodeFrom(sender);
    TimeCode code;
    if (!ArtnetPacket::parseTimeCode(datagram, code))
        return;
    QMutexLocker lock(&m_listenerLock);
    if (!m_listener)
        return;
    // Asked only when someone follows; the socket has read nothing since.
    const qint64 arrival =
        readFrom >= 0 ? ReceiveStamp::lastArrivalNs(readFrom) : KernelClock::nowNs(CLOCK_MONOTONIC);
    m_listener->timeCodeReceived(code, sender.toIPv4Address(), arrival);
}

void artnet::noteTimeCodeFrom(const QHostAddress &sender)
{
    if (sender.isNull() || isOwnAddress(sender))
        return;
    const QHostAddress plain(sender.toIPv4Address());
    const qint64 now = m_clock->monotonicMs();
    // The one named stays named while it sends: senders in turn, forged or
    // not, would make the warning (and the status it is in) change each time.
    if (!m_otherSource.isNull() && plain != m_otherSource &&
        now - m_otherSourceSeenMs < OtherSourceHoldMs)
        return;
    m_otherSourceSeenMs = now;
    if (plain == m_otherSource)
        return;
    m_otherSource = plain;
    // Forged senders can make this change with every datagram.
    if (m_log.enabled()) {
        const QString text = QStringLiteral("ArtTimeCode from another source ") + plain.toString();
        m_log.received(text, text);
    }
    publishStatus();
}

ArtnetStatus artnet::status() const
{
    ArtnetStatus status;
    status.bound = m_bound;
    status.portBusy = !m_bound && m_portBusy;
    {
        QMutexLocker lock(&m_selectionLock);
        status.loopbackOnly = ArtnetInterfaces::isLoopbackOnly(m_interfaces);
    }
    status.portShared = m_bound && m_portShared;
    for (const DestinationTable::Outcome &outcome : m_timeCodeSender->destinations().outcomes())
        status.destinations.append(
            {QHostAddress(outcome.address).toString(), outcome.sent, outcome.error});
    if (!m_otherSource.isNull())
        status.otherSource = m_otherSource.toString();
    return status;
}

void artnet::publishStatus()
{
    const ArtnetStatus now = status();
    if (m_hasPublished && now == m_published)
        return;
    const qint64 nowMs = m_clock->monotonicMs();
    if (m_hasPublished && nowMs - m_publishedMs < FrameCountReportMs &&
        now.withoutCounts() == m_published.withoutCounts())
        return;
    m_published = now;
    m_publishedMs = nowMs;
    m_hasPublished = true;
    emit signalStatus(now);
}

void artnet::housekeeping()
{
    const qint64 now = m_clock->monotonicMs();
    if (m_bindWanted && !m_bound)
        openSocket();
    if (now - m_lastInterfaceReadMs >= InterfacePollMs)
        refreshInterfaces();
    if (m_bound && now - m_lastSharingCheckMs >= InterfacePollMs)
        checkPortSharing();
    m_log.flush();
    if (!m_otherSource.isNull() && now - m_otherSourceSeenMs >= OtherSourceHoldMs) {
        m_log.line(QStringLiteral("no more ArtTimeCode from ") + m_otherSource.toString());
        m_otherSource.clear();
    }
    publishStatus();
}

void artnet::logReceived(const QString &text, const QHostAddress &sender)
{
    if (!m_log.enabled())
        return;
    const QString from = QHostAddress(sender.toIPv4Address()).toString();
    m_log.received(text.trimmed() + QStringLiteral(" from ") + from, text);
}

void artnet::checkPortSharing()
{
    m_lastSharingCheckMs = m_clock->monotonicMs();
    if (!m_socket || !m_bound)
        return;
    QList<quint32> own;
    {
        QMutexLocker lock(&m_selectionLock);
        for (const ArtnetInterface &iface : m_interfaces)
            own.append(iface.entry.ip().toIPv4Address());
    }
    const int others =
        PortSharing::otherListeners(m_socket->socketDescriptor(), ArtnetPacket::Port, own);
    const bool shared = others > 0;
    if (shared == m_portShared)
        return;
    m_portShared = shared;
    m_log.line(shared ? QStringLiteral("another program listens on port 6454 as well; polls to "
                                       "this computer may reach it instead")
                      : QStringLiteral("port 6454 is no longer shared with another program"));
}
