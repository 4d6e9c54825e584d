#include "artnet.h"
#include "privatenetwork.h"
#include "workerthread.h"

#include <QNetworkDatagram>
#include <QScopeGuard>
#include <QUdpSocket>
#include <QtTest>

namespace
{
AddressEntry entry(const QString &ip, const QString &mask, const QString &broadcast,
                   const QString &hardware, const QString &name)
{
    AddressEntry e{{}, hardware, name};
    e.entry.setIp(QHostAddress(ip));
    e.entry.setNetmask(QHostAddress(mask));
    e.entry.setBroadcast(QHostAddress(broadcast));
    return e;
}

const QList<AddressEntry> TwoAdapters = {
    entry("10.0.0.5", "255.0.0.0", "10.255.255.255", "02:00:00:00:00:01", "ten"),
    entry("192.168.1.10", "255.255.255.0", "192.168.1.255", "00:1A:2B:3C:4D:5E", "eth0")};

QByteArray bytes(std::initializer_list<int> values)
{
    return QByteArray(std::vector<char>(values.begin(), values.end()).data(), int(values.size()));
}

QByteArray packet(const char *id, quint16 opCode, int size = 14)
{
    const QByteArray full = QByteArray(id, 8) + bytes({opCode & 0xFF, opCode >> 8, 0, 14});
    return full.leftJustified(size, '\0', true);
}

QByteArray dmx(quint8 subUni, quint8 net, int declaredLength, const QByteArray &data)
{
    return packet("Art-Net", 0x5000) +
           bytes({subUni, net, declaredLength >> 8, declaredLength & 0xFF}) + data;
}

// A node whose verbose lines land in `out`. Without entries it enumerates
// silently to the loopback fallback, so whatever it sends stays on lo.
struct Node {
    explicit Node(bool verbose, const QList<AddressEntry> &entries = {})
        : node(verbose, entries, [this](const QByteArray &b) { out += b; })
    {
    }
    QByteArray take() { return std::exchange(out, {}); }
    QByteArray out;
    artnet node;
};

const QHostAddress Peer(QStringLiteral("127.0.0.2"));
const QHostAddress Self(QStringLiteral("127.0.0.1"));
const auto Shared = QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint;
} // namespace

class TestArtnetNode : public QObject
{
    Q_OBJECT
private slots:
    void twoAdapters();
    void verboseLines();

    // On the loopback of a private network namespace.
    void bindRetryAndPollReply();
    void dmxInputStore();
    void dmxReadNeverTornAcrossThreads();
};

void TestArtnetNode::twoAdapters()
{
    Node n(false, TwoAdapters);
    auto info = [&](int index) {
        quint32 network = 0;
        QString name = QStringLiteral("stale");
        const bool ok = n.node.interfaceInfo(index, network, name);
        return ok ? QHostAddress(network).toString() + ' ' + name : "refused" + name;
    };
    QCOMPARE(info(-1), QStringLiteral("255.255.255.255 all"));
    QCOMPARE(info(1), QStringLiteral("192.168.1.0 eth0"));
    QCOMPARE(info(2), QStringLiteral("refused"));
    QCOMPARE(info(-2), QStringLiteral("refused"));

    const char data[1] = {0};
    QCOMPARE(n.node.sendDatagram(nullptr, 20, nullptr), qint64(-2));
    QCOMPARE(n.node.sendDatagram(data, 0, nullptr), qint64(-3));
    QCOMPARE(n.node.sendDatagram(data, 1, &Peer), qint64(-1)); // no socket yet

    // A poll is answered from the entry whose subnet holds the poller.
    auto ipAndMac = [&](const QString &poller) {
        const QByteArray reply = n.node.pollReplyFor(QHostAddress(poller));
        return reply.isEmpty() ? QByteArray("none") : reply.mid(10, 4) + reply.mid(201, 6);
    };
    QCOMPARE(ipAndMac("192.168.1.50"), bytes({192, 168, 1, 10, 0, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}));
    QCOMPARE(ipAndMac("10.9.8.7"), bytes({10, 0, 0, 5, 0x02, 0, 0, 0, 0, 0x01}));
    QCOMPARE(ipAndMac("192.168.2.1"), QByteArray("none"));

    auto destinations = [&](const QHostAddress *destIp = nullptr) {
        QStringList got;
        for (const QHostAddress &a : n.node.destinations(destIp))
            got << a.toString();
        return got.join(QLatin1Char(' '));
    };
    const QString both = QStringLiteral("10.255.255.255 192.168.1.255");
    QCOMPARE(destinations(), both);
    n.node.selectInterface(QStringLiteral("192.168.1.0"));
    QCOMPARE(destinations(), QStringLiteral("192.168.1.255"));
    const QHostAddress destIp(QStringLiteral("10.1.2.3"));
    QCOMPARE(destinations(&destIp), destIp.toString());
    n.node.selectInterface(QStringLiteral("255.255.255.255"));
    QCOMPARE(destinations(), both);
    n.node.selectInterface(QStringLiteral("192.168.1.0"));
    n.node.selectInterface(QStringLiteral("172.16.0.0")); // an interface that has gone
    QCOMPARE(destinations(), both);
}

// Which datagrams are looked at at all is the packet tests' business. The first-time
// notices are process-wide, so this is the only test receiving those kinds.
void TestArtnetNode::verboseLines()
{
    Node quiet(false), n(true), other(true);
    // The first ArtSync comes while verbose is off: its notice is gone for good.
    quiet.node.dispatchDatagram(packet("Art-Net", 0x5200), Peer);
    auto send = [&](const QByteArray &datagram, int times) {
        for (int i = 0; i < times; ++i)
            n.node.dispatchDatagram(datagram, Peer);
        return n.take();
    };
    const QByteArray unknown("receive not implemented OpCode at time 0x");
    const QByteArray pre("MadrixN SYNC PRE \n"), post("MadrixN SYNC POST \n");
    QCOMPARE(send(packet("Art-Net", 0x2100, 240), 1), QByteArray("Art-Net PollReply\n"));
    QCOMPARE(send(packet("Art-Net", 0xF8AB), 1), unknown + "F8AB\n\n");
    QCOMPARE(send(packet("Art-Net", 0x00F0, 13), 1), unknown + "F0\n\n");
    QCOMPARE(send(packet("MadrixN", 0x5101), 1), pre);

    QCOMPARE(send(packet("Art-Net", 0x5200), 2), QByteArray("ART SYNC \nART SYNC \n"));
    QCOMPARE(send(packet("Art-Net", 0x9700, 20), 2),
             QByteArray("receiving Art-Net TIMECODE ...\n"));
    QCOMPARE(send(packet("Art-Net", 0x5101), 2), "receiving Art-Net SYNC PRE ...\n" + pre + pre);
    QCOMPARE(send(packet("Art-Net", 0x5202), 2), "receiving Art-Net SYNC POST ...\n" + post + post);
    QCOMPARE(send(packet("MadrixN", 0x5202), 2), "receiving MadrixN SYNC POST ...\n" + post + post);
    // Another node in the same process does not see them again.
    other.node.dispatchDatagram(packet("Art-Net", 0x9700, 20), Peer);
    QCOMPARE(quiet.take() + other.take(), QByteArray());
}

// A port taken at first is tried again at the next send; poll replies go to
// the poller's port 6454, not to the port it sent from.
void TestArtnetNode::bindRetryAndPollReply()
{
    REQUIRE_PRIVATE_NETWORK();
    auto blocker = std::make_unique<QUdpSocket>();
    QVERIFY(blocker->bind(QHostAddress::AnyIPv4, 6454, QUdpSocket::DontShareAddress));
    Node n(true);
    n.node.setShareAddress(false);
    n.node.slotSendTimeCode(1, 2, 3, 4, 1, &Peer);
    QVERIFY(!n.node.isBound());

    blocker.reset();
    // The console shares the port: the node's plain bind fails, its shared retry must not.
    QUdpSocket peer, sender;
    QVERIFY(peer.bind(Peer, 6454, Shared));
    n.node.slotSendTimeCode(1, 2, 3, 4, 1, &Peer);
    QTRY_VERIFY_WITH_TIMEOUT(peer.hasPendingDatagrams(), 5000);
    QCOMPARE(peer.receiveDatagram().data(), ArtnetPacket::timeCode(1, 2, 3, 4, 1));

    n.node.setPollReplyEnabled(true);
    QVERIFY(sender.bind(Peer, 0));
    sender.writeDatagram(packet("Art-Net", 0x2000), Self, 6454);
    QTRY_VERIFY_WITH_TIMEOUT(peer.hasPendingDatagrams(), 5000);
    QCOMPARE(peer.receiveDatagram().data().mid(10, 4), bytes({127, 0, 0, 1}));
    QCOMPARE(n.take(), QByteArray("PollReply to 127.0.0.2 from 127.0.0.1 SubId 0\n"));
}

// Length clamping and zero fill are the packet tests' business.
void TestArtnetNode::dmxInputStore()
{
    REQUIRE_PRIVATE_NETWORK();
    Node n(false);
    QVERIFY(!n.node.setDmxInUniverse(0x10000));
    QVERIFY(!n.node.setDmxInUniverse(0xFFFFFFFF)); // a stored universe 0
    QVERIFY(n.node.setDmxInUniverse(0x1FF));       // Net 1, SubUni 0xFF
    quint8 buffer[19];
    auto read = [&](const QByteArray &datagram, quint16 length = 19) {
        n.node.dispatchDatagram(datagram, Peer);
        if (!n.node.readDmxIn(buffer, length))
            return QByteArray("nothing");
        return QByteArray(reinterpret_cast<const char *>(buffer), length);
    };
    const QByteArray frame = dmx(0xFF, 1, 4, bytes({1, 2, 3, 4}));
    // Frames before the input starts are dropped; the first read starts it.
    QCOMPARE(read(frame), QByteArray("nothing"));
    QCOMPARE(read({}), QByteArray("nothing"));
    const QByteArray reply = n.node.pollReplyFor(Self);
    // NetSwitch, SubSwitch, NumPorts, SwOut
    QCOMPARE(reply.mid(18, 2) + reply.mid(172, 2) + reply.mid(190, 1), bytes({1, 0xF, 0, 1, 0xFF}));

    QCOMPARE(read(frame), bytes({1, 2, 3, 4}));
    QCOMPARE(read({}), QByteArray("nothing")); // delivered once only
    QCOMPARE(read(frame, 2), bytes({1, 2}));
    QCOMPARE(read(dmx(0xFF, 0, 1, bytes({9}))), QByteArray("nothing"));
    QCOMPARE(read(dmx(0xFE, 1, 1, bytes({9}))), QByteArray("nothing"));

    n.node.dispatchDatagram(frame, Peer);
    QVERIFY(n.node.setDmxInUniverse(0x1FF)); // the same universe keeps it
    QCOMPARE(read({}), bytes({1, 2, 3, 4}));
    n.node.dispatchDatagram(frame, Peer);
    QVERIFY(n.node.setDmxInUniverse(0x1FE)); // another forgets it
    QCOMPARE(read({}), QByteArray("nothing"));

    // Switched off, the node keeps nothing, delivers nothing and offers no port.
    const QByteArray other = dmx(0xFE, 1, 2, bytes({7, 8}));
    n.node.dispatchDatagram(other, Peer);
    n.node.setDmxInEnabled(false);
    QCOMPARE(read(other), QByteArray("nothing"));
    QCOMPARE(n.node.pollReplyFor(Self).mid(172, 2), bytes({0, 0}));
    n.node.setDmxInEnabled(true);
    QCOMPARE(read({}), QByteArray("nothing"));
    QCOMPARE(n.node.pollReplyFor(Self).mid(172, 2), bytes({0, 1}));
    QCOMPARE(read(other), bytes({7, 8}));
}

// As in the program, the node runs on its own thread and DMX is read from this one. The
// first read asks the node's thread to bind and reports nothing meanwhile. Then frames carry
// their number in the first two bytes and its low byte in every other one: a torn copy shows
// mixed bytes, a lost or repeated new-data mark shows as a number read twice.
void TestArtnetNode::dmxReadNeverTornAcrossThreads()
{
    REQUIRE_PRIVATE_NETWORK();
    auto *node = new artnet(false, {}, [](const QByteArray &) {});
    QVERIFY(node->setDmxInUniverse(0));
    WorkerThreads threads;
    threads.adopt(node)->start();
    const auto release = qScopeGuard([&] {
        QMetaObject::invokeMethod(node, &QObject::deleteLater);
        threads.waitAll(5000);
    });
    quint8 buffer[512];
    quint16 length = 512;
    QVERIFY(!node->readDmxIn(buffer, length));
    QTRY_VERIFY_WITH_TIMEOUT(node->isBound(), 5000);
    QVERIFY(!node->readDmxIn(buffer, length)); // started now, but no frame yet

    QUdpSocket console;
    QVERIFY(console.bind(Peer, 0));
    console.writeDatagram(dmx(0, 0, 4, bytes({0, 0, 0, 255})), Self, 6454);
    // A read consumes the new-data mark, so it must not be evaluated twice.
    bool read = false;
    QTRY_VERIFY_WITH_TIMEOUT(read || (read = node->readDmxIn(buffer, length)), 5000);
    QCOMPARE(QByteArray(reinterpret_cast<char *>(buffer), length), bytes({0, 0, 0, 255}));

    constexpr int Frames = 20000;
    QMetaObject::invokeMethod(node, [node] {
        for (int k = 1; k <= Frames; ++k) {
            QByteArray data(512, char(k & 0xFF));
            data[0] = char(k >> 8);
            data[1] = char(k & 0xFF);
            node->dispatchDatagram(dmx(0, 0, 512, data), QHostAddress());
        }
    });
    int last = 0;
    const QDeadlineTimer deadline(10000);
    while (last < Frames && !deadline.hasExpired()) {
        length = 512;
        if (!node->readDmxIn(buffer, length))
            continue;
        QCOMPARE(int(length), 512);
        const int k = (buffer[0] << 8) | buffer[1];
        QVERIFY2(k > last, qPrintable(QStringLiteral("frame %1 after %2").arg(k).arg(last)));
        for (int i = 2; i < 512; ++i)
            QCOMPARE(buffer[i], quint8(k & 0xFF));
        last = k;
    }
    QCOMPARE(last, Frames);
}

QTEST_GUILESS_MAIN(TestArtnetNode)
#include "tst_artnetnode.moc"
