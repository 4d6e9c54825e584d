#include "artnet.h"

#include <QNetworkInterface>
#include <QThread>
#include <QUdpSocket>
#include <QtTest>

#include <memory>

namespace
{
AddressEntry entry(const char *ip, const char *mask, const char *broadcast, const char *hardware,
                   const char *name)
{
    AddressEntry e;
    e.entry.setIp(QHostAddress(QLatin1String(ip)));
    e.entry.setNetmask(QHostAddress(QLatin1String(mask)));
    e.entry.setBroadcast(QHostAddress(QLatin1String(broadcast)));
    e.hardwareAddress = QLatin1String(hardware);
    e.name = QLatin1String(name);
    return e;
}

const QList<AddressEntry> TwoAdapters = {
    entry("10.0.0.5", "255.0.0.0", "10.255.255.255", "02:00:00:00:00:01", "ten"),
    entry("192.168.1.10", "255.255.255.0", "192.168.1.255", "00:1A:2B:3C:4D:5E", "eth0")};
// Everything the socket tests send stays on the loopback adapter.
const QList<AddressEntry> LoopbackOnly = {};

const QByteArray ArtNet("Art-Net\0", 8);

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

QByteArray packet(const QByteArray &id, quint16 opCode, int size = 14)
{
    QByteArray out = id + bytes({opCode & 0xFF, opCode >> 8, 0, 14});
    out.resize(size, '\0');
    return out.left(size);
}

QByteArray dmx(quint8 subUni, quint8 net, int declaredLength, const QByteArray &data)
{
    return packet(ArtNet, 0x5000, 14) +
           bytes({subUni, net, declaredLength >> 8, declaredLength & 0xFF}) + data;
}

// A node whose verbose lines land in `out`.
struct Node {
    explicit Node(bool verbose, const QList<AddressEntry> &entries = TwoAdapters)
        : node(
              std::make_unique<artnet>(verbose, entries, [this](const QByteArray &b) { out += b; }))
    {
    }
    QByteArray take()
    {
        const QByteArray b = out;
        out.clear();
        return b;
    }
    QByteArray out;
    std::unique_ptr<artnet> node;
};

const QHostAddress Peer(QStringLiteral("127.0.0.2"));
const QHostAddress Self(QStringLiteral("127.0.0.1"));

// Port 6454 is only ever opened where nothing can leave the machine: inside
// the private network namespace the test run creates, where lo is all there is.
bool onlyLoopbackPresent()
{
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &i : interfaces)
        if (!(i.flags() & QNetworkInterface::IsLoopBack))
            return false;
    return true;
}

#define REQUIRE_PRIVATE_NETWORK()                                                                  \
    if (!onlyLoopbackPresent())                                                                    \
        QSKIP("opens UDP port 6454: run inside a private network namespace (scripts/test)");

// A stand-in for a console on 127.0.0.2, port 6454, next to the node's
// wildcard socket on the same port.
std::unique_ptr<QUdpSocket> bindPeer()
{
    auto peer = std::make_unique<QUdpSocket>();
    if (!peer->bind(Peer, 6454, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint))
        return nullptr;
    return peer;
}

// Runs a node on a thread of its own and, however the test ends, deletes it
// there and waits for the thread.
class NodeThread
{
public:
    explicit NodeThread(artnet *node) : m_node(node)
    {
        QObject::connect(node, &QObject::destroyed, &m_thread, &QThread::quit,
                         Qt::DirectConnection);
        node->moveToThread(&m_thread);
        m_thread.start();
    }
    ~NodeThread()
    {
        QMetaObject::invokeMethod(m_node, &QObject::deleteLater);
        m_thread.wait(5000);
    }

private:
    artnet *m_node;
    QThread m_thread;
};

QByteArray receive(QUdpSocket &socket)
{
    QByteArray data(int(socket.pendingDatagramSize()), '\0');
    socket.readDatagram(data.data(), data.size());
    return data;
}
} // namespace

using AddressList = QList<QHostAddress>;

class TestArtnetNode : public QObject
{
    Q_OBJECT
private slots:
    void verboseOffWritesNothing();
    void interfaceInfo_data();
    void interfaceInfo();
    void destinations_data();
    void destinations();
    void sendDatagramRefuses();
    void dispatchLogLines_data();
    void dispatchLogLines();
    void firstTimeNoticesOncePerRun();
    void pollReplyFromServingEntry_data();
    void pollReplyFromServingEntry();
    void setDmxInUniverse();

    // On the loopback of a private network namespace.
    void pollAnsweredByUnicast();
    void bindRetriedAtNextSend();
    void dmxInputStore_data();
    void dmxInputStore();
    void dmxOverTheWire();
    void dmxReadNeverTornAcrossThreads();
    void dmxInputBindsOnNodeThread();
};

void TestArtnetNode::verboseOffWritesNothing()
{
    Node quiet(false, {entry("10.0.0.5", "255.0.0.0", "", "", "x")});
    quiet.node->dispatchDatagram(packet(ArtNet, 0x2100), Peer);
    quiet.node->dispatchDatagram(packet(ArtNet, 0x2400), Peer);
    QCOMPARE(quiet.take(), QByteArray());

    Node loud(true, {entry("10.0.0.5", "255.0.0.0", "", "", "x")});
    QCOMPARE(loud.take(), QByteArray("found IpV4 - 10.0.0.5  Mask: 255.0.0.0 Broad: don't add "
                                     "because invalid broadcast\n"));
}

void TestArtnetNode::interfaceInfo_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("result");
    QTest::addColumn<quint32>("network");
    QTest::addColumn<QString>("name");

    QTest::newRow("all") << -1 << true << 0xFFFFFFFFu << "all";
    QTest::newRow("first") << 0 << true << 0x0A000000u << "ten";
    QTest::newRow("second") << 1 << true << 0xC0A80100u << "eth0";
    QTest::newRow("past the end") << 2 << false << 12345u << "";
    QTest::newRow("below all") << -2 << false << 12345u << "";
}

void TestArtnetNode::interfaceInfo()
{
    QFETCH(int, index);
    QFETCH(bool, result);
    QFETCH(quint32, network);
    QFETCH(QString, name);
    Node n(false);
    quint32 got = 12345;
    QString gotName = QStringLiteral("stale");
    QCOMPARE(n.node->interfaceInfo(index, got, gotName), result);
    QCOMPARE(got, network);
    QCOMPARE(gotName, name);
}

void TestArtnetNode::destinations_data()
{
    QTest::addColumn<QStringList>("selections"); // applied in order
    QTest::addColumn<QString>("destIp");
    QTest::addColumn<QStringList>("expected");

    const QStringList both{"10.255.255.255", "192.168.1.255"};
    QTest::newRow("never selected") << QStringList{} << "" << both;
    QTest::newRow("all") << QStringList{"255.255.255.255"} << "" << both;
    QTest::newRow("second subnet")
        << QStringList{"192.168.1.0"} << "" << QStringList{"192.168.1.255"};
    QTest::newRow("first subnet") << QStringList{"10.0.0.0"} << "" << QStringList{"10.255.255.255"};
    QTest::newRow("vanished interface") << QStringList{"172.16.0.0"} << "" << both;
    QTest::newRow("back to all") << QStringList{"192.168.1.0", "255.255.255.255"} << "" << both;
    QTest::newRow("explicit destination wins")
        << QStringList{"192.168.1.0"} << "10.1.2.3" << QStringList{"10.1.2.3"};
}

void TestArtnetNode::destinations()
{
    QFETCH(QStringList, selections);
    QFETCH(QString, destIp);
    QFETCH(QStringList, expected);
    Node n(false);
    for (const QString &s : selections)
        n.node->selectInterface(s);
    const QHostAddress dest(destIp);
    QStringList got;
    for (const QHostAddress &a : n.node->destinations(destIp.isEmpty() ? nullptr : &dest))
        got << a.toString();
    QCOMPARE(got, expected);
}

void TestArtnetNode::sendDatagramRefuses()
{
    Node n(false);
    const char data[1] = {0};
    QCOMPARE(n.node->sendDatagram(nullptr, 20, nullptr), qint64(-2));
    QCOMPARE(n.node->sendDatagram(data, 0, nullptr), qint64(-3));
    // No socket yet: nothing is written anywhere.
    QCOMPARE(n.node->sendDatagram(data, 1, &Peer), qint64(-1));
    QCOMPARE(n.node->sendDataTimeout(), qint64(-1));
}

void TestArtnetNode::dispatchLogLines_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QByteArray>("output");

    const QByteArray madrix("MadrixN\0", 8);
    QTest::newRow("poll reply") << packet(ArtNet, 0x2100, 240) << QByteArray("Art-Net PollReply\n");
    QTest::newRow("unknown 0x2400")
        << packet(ArtNet, 0x2400)
        << QByteArray("receive not implemented OpCode at time 0x2400\n\n");
    QTest::newRow("unknown lower-case hex")
        << packet(ArtNet, 0xF8AB)
        << QByteArray("receive not implemented OpCode at time 0xF8AB\n\n");
    QTest::newRow("unknown 13 bytes")
        << packet(ArtNet, 0x00F0, 13)
        << QByteArray("receive not implemented OpCode at time 0xF0\n\n");
    QTest::newRow("unknown 12 bytes") << packet(ArtNet, 0x2400, 12) << QByteArray();
    QTest::newRow("Art-Net, 8th byte set")
        << packet(QByteArray("Art-Net\x01", 8), 0x2400) << QByteArray();
    QTest::newRow("foreign id") << packet(QByteArray("OLA-Net\0", 8), 0x2100) << QByteArray();
    QTest::newRow("MadrixN sync pre")
        << packet(madrix, 0x5101) << QByteArray("MadrixN SYNC PRE \n");
    QTest::newRow("MadrixN unknown") << packet(madrix, 0x2400) << QByteArray();
    QTest::newRow("MadrixN poll reply") << packet(madrix, 0x2100) << QByteArray();
    QTest::newRow("poll, answers off") << packet(ArtNet, 0x2000) << QByteArray();
    QTest::newRow("dmx before input started") << dmx(0xFF, 0, 2, bytes({255, 255})) << QByteArray();
}

void TestArtnetNode::dispatchLogLines()
{
    QFETCH(QByteArray, datagram);
    QFETCH(QByteArray, output);
    Node n(true);
    n.take();
    n.node->dispatchDatagram(datagram, Peer);
    QCOMPARE(n.take(), output);
}

// The five notices are process-wide: this is the only test that receives
// these packet kinds.
void TestArtnetNode::firstTimeNoticesOncePerRun()
{
    const QByteArray madrix("MadrixN\0", 8);
    {
        // The first ArtSync comes while verbose is off: its notice is gone for good.
        Node quiet(false);
        quiet.node->dispatchDatagram(packet(ArtNet, 0x5200), Peer);
        QCOMPARE(quiet.take(), QByteArray());
    }
    Node n(true);
    n.take();
    auto twice = [&](const QByteArray &datagram) {
        n.node->dispatchDatagram(datagram, Peer);
        n.node->dispatchDatagram(datagram, Peer);
        return n.take();
    };
    QCOMPARE(twice(packet(ArtNet, 0x5200)), QByteArray("ART SYNC \nART SYNC \n"));
    QCOMPARE(twice(packet(ArtNet, 0x9700, 20)), QByteArray("receiving Art-Net TIMECODE ...\n"));
    QCOMPARE(twice(packet(ArtNet, 0x5101)),
             QByteArray("receiving Art-Net SYNC PRE ...\nMadrixN SYNC PRE \nMadrixN SYNC PRE \n"));
    QCOMPARE(twice(packet(ArtNet, 0x5202)), QByteArray("receiving Art-Net SYNC POST ...\nMadrixN "
                                                       "SYNC POST \nMadrixN SYNC POST \n"));
    QCOMPARE(twice(packet(madrix, 0x5202)), QByteArray("receiving MadrixN SYNC POST ...\nMadrixN "
                                                       "SYNC POST \nMadrixN SYNC POST \n"));
    // A second node in the same process does not see them again.
    Node other(true);
    other.take();
    other.node->dispatchDatagram(packet(ArtNet, 0x9700, 20), Peer);
    QCOMPARE(other.take(), QByteArray());
}

void TestArtnetNode::pollReplyFromServingEntry_data()
{
    QTest::addColumn<QString>("poller");
    QTest::addColumn<QByteArray>("ip");
    QTest::addColumn<QByteArray>("mac");

    QTest::newRow("second subnet") << "192.168.1.50" << bytes({192, 168, 1, 10})
                                   << bytes({0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E});
    QTest::newRow("first subnet") << "10.9.8.7" << bytes({10, 0, 0, 5})
                                  << bytes({0x02, 0, 0, 0, 0, 0x01});
    QTest::newRow("foreign subnet") << "172.16.0.1" << QByteArray() << QByteArray();
}

void TestArtnetNode::pollReplyFromServingEntry()
{
    QFETCH(QString, poller);
    QFETCH(QByteArray, ip);
    QFETCH(QByteArray, mac);
    Node n(false);
    n.node->setVersInfoH(2);
    n.node->setOemHi(0x0C);
    n.node->setOemLo(0x11);
    n.node->setNodeNames(QStringLiteral("Orvello"), QStringLiteral("Orvello long"));
    const QByteArray reply = n.node->pollReplyFor(QHostAddress(poller));
    if (ip.isEmpty()) {
        QVERIFY(reply.isEmpty());
        return;
    }
    QCOMPARE(reply.size(), 240);
    QCOMPARE(reply.mid(10, 4), ip);
    QCOMPARE(reply.mid(201, 6), mac);
    QCOMPARE(reply.mid(16, 6), bytes({2, 0, 0, 0, 0x0C, 0x11}));
    QCOMPARE(reply.mid(26, 8), QByteArray("Orvello\0", 8));
    QCOMPARE(reply.mid(44, 13), QByteArray("Orvello long\0", 13));
    QCOMPARE(reply.mid(172, 2), bytes({0, 0})); // no DMX input yet
}

void TestArtnetNode::setDmxInUniverse()
{
    Node n(false);
    QVERIFY(n.node->setDmxInUniverse(255));
    QVERIFY(n.node->setDmxInUniverse(255));
    QVERIFY(n.node->setDmxInUniverse(0xFFFF));
    QVERIFY(!n.node->setDmxInUniverse(0x10000));
    QVERIFY(!n.node->setDmxInUniverse(0xFFFFFFFF)); // a stored universe 0
}

void TestArtnetNode::pollAnsweredByUnicast()
{
    REQUIRE_PRIVATE_NETWORK();
    Node n(true, LoopbackOnly);
    n.node->setPollReplyEnabled(true);
    QVERIFY(n.node->isBound());
    auto peer = bindPeer();
    QVERIFY(peer);
    n.take();

    // The 12-byte poll goes first and must be dropped; only the 13-byte one is answered.
    QUdpSocket sender;
    QVERIFY(sender.bind(Peer, 0));
    sender.writeDatagram(packet(ArtNet, 0x2000, 12), Self, 6454);
    sender.writeDatagram(packet(ArtNet, 0x2000, 13), Self, 6454);
    QTRY_VERIFY_WITH_TIMEOUT(peer->hasPendingDatagrams(), 5000);
    const QByteArray reply = receive(*peer);
    QCOMPARE(reply.size(), 240);
    QCOMPARE(reply.mid(10, 4), bytes({127, 0, 0, 1}));
    QTest::qWait(100);
    QVERIFY(!peer->hasPendingDatagrams());
    QCOMPARE(n.take(), QByteArray("PollReply to 127.0.0.2 from 127.0.0.1 SubId 0\n"));

    n.node->setPollReplyEnabled(false);
    sender.writeDatagram(packet(ArtNet, 0x2000, 14), Self, 6454);
    QTest::qWait(200);
    QVERIFY(!peer->hasPendingDatagrams());
}

void TestArtnetNode::bindRetriedAtNextSend()
{
    REQUIRE_PRIVATE_NETWORK();
    auto blocker = std::make_unique<QUdpSocket>();
    QVERIFY(blocker->bind(QHostAddress::AnyIPv4, 6454, QUdpSocket::DontShareAddress));

    Node n(false, LoopbackOnly);
    n.node->setShareAddress(false);
    n.node->slotSendTimeCode(1, 2, 3, 4, 1, &Peer);
    QVERIFY(!n.node->isBound());
    QVERIFY(!n.node->prepareSending());

    blocker.reset();
    // The console shares the port; the node's plain bind then fails and its
    // shared retry must succeed.
    auto peer = bindPeer();
    QVERIFY(peer);
    n.node->slotSendTimeCode(1, 2, 3, 4, 1, &Peer);
    QVERIFY(n.node->isBound());
    QTRY_VERIFY_WITH_TIMEOUT(peer->hasPendingDatagrams(), 5000);
    QCOMPARE(receive(*peer), ArtnetPacket::timeCode(1, 2, 3, 4, 1));
}

void TestArtnetNode::dmxInputStore_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<int>("requested");
    QTest::addColumn<bool>("read");
    QTest::addColumn<QByteArray>("delivered");

    QTest::newRow("four channels")
        << dmx(0xFF, 0, 4, bytes({0, 0, 0, 255})) << 19 << true << bytes({0, 0, 0, 255});
    QTest::newRow("fewer requested")
        << dmx(0xFF, 0, 4, bytes({1, 2, 3, 4})) << 2 << true << bytes({1, 2});
    QTest::newRow("length 600") << dmx(0xFF, 0, 600, QByteArray(600, 7)) << 1000 << true
                                << QByteArray(512, 7);
    QTest::newRow("length beyond data") << dmx(0xFF, 0, 100, QByteArray(50, 9)) << 100 << true
                                        << QByteArray(50, 9) + QByteArray(50, '\0');
    QTest::newRow("length 0") << dmx(0xFF, 0, 0, QByteArray()) << 19 << true << QByteArray();
    QTest::newRow("other net") << dmx(0xFF, 1, 4, bytes({9, 9, 9, 9})) << 19 << false
                               << QByteArray();
    QTest::newRow("other subuni") << dmx(0xFE, 0, 4, bytes({9, 9, 9, 9})) << 19 << false
                                  << QByteArray();
    QTest::newRow("no length field")
        << dmx(0xFF, 0, 4, QByteArray()).left(17) << 19 << false << QByteArray();
}

// Universe 256 is port-address 255: Net 0, SubUni 0xFF.
void TestArtnetNode::dmxInputStore()
{
    REQUIRE_PRIVATE_NETWORK();
    QFETCH(QByteArray, datagram);
    QFETCH(int, requested);
    QFETCH(bool, read);
    QFETCH(QByteArray, delivered);

    Node n(false, LoopbackOnly);
    QVERIFY(n.node->setDmxInUniverse(255));
    QByteArray buffer(1000, char(0x55));
    quint16 length = 19;
    // The first read starts the input and has nothing to deliver yet.
    QVERIFY(!n.node->readDmxIn(reinterpret_cast<quint8 *>(buffer.data()), length));
    QCOMPARE(n.node->pollReplyFor(Self).mid(172, 2), bytes({0, 1}));
    QCOMPARE(quint8(n.node->pollReplyFor(Self).at(190)), quint8(0xFF));

    n.node->dispatchDatagram(datagram, Peer);
    length = quint16(requested);
    QCOMPARE(n.node->readDmxIn(reinterpret_cast<quint8 *>(buffer.data()), length), read);
    if (!read)
        return;
    QCOMPARE(int(length), delivered.size());
    QCOMPARE(buffer.left(length), delivered);
    // Delivered once only.
    QVERIFY(!n.node->readDmxIn(reinterpret_cast<quint8 *>(buffer.data()), length));
}

void TestArtnetNode::dmxOverTheWire()
{
    REQUIRE_PRIVATE_NETWORK();
    Node n(false, LoopbackOnly);
    QVERIFY(n.node->setDmxInUniverse(0x0012));
    QUdpSocket console;
    QVERIFY(console.bind(Peer, 0));
    quint8 buffer[19] = {};
    quint16 length = 19;

    // Before the input has started, frames are dropped.
    console.writeDatagram(dmx(0x12, 0, 3, bytes({200, 200, 200})), Self, 6454);
    QTest::qWait(100);
    QVERIFY(!n.node->readDmxIn(buffer, length));
    QVERIFY(!n.node->readDmxIn(buffer, length));
    QVERIFY(n.node->isBound());

    console.writeDatagram(dmx(0x12, 0, 4, bytes({0, 0, 0, 255})), Self, 6454);
    // A read consumes the new-data mark, so it must not be evaluated twice.
    bool read = false;
    QTRY_VERIFY_WITH_TIMEOUT(read || (read = n.node->readDmxIn(buffer, length)), 5000);
    QCOMPARE(int(length), 4);
    QCOMPARE(QByteArray(reinterpret_cast<char *>(buffer), 4), bytes({0, 0, 0, 255}));

    // A new universe forgets what was stored for the old one.
    console.writeDatagram(dmx(0x12, 0, 1, bytes({1})), Self, 6454);
    QTest::qWait(100);
    QVERIFY(n.node->setDmxInUniverse(0x0013));
    length = 19;
    QVERIFY(!n.node->readDmxIn(buffer, length));
}

// Frames carry their number in the first two bytes and its low byte in every
// other one: a torn copy shows mixed bytes, a lost or repeated new-data mark
// shows as a number read twice.
void TestArtnetNode::dmxReadNeverTornAcrossThreads()
{
    REQUIRE_PRIVATE_NETWORK();
    auto *node = new artnet(false, LoopbackOnly, [](const QByteArray &) {});
    node->setPollReplyEnabled(true); // binds here, as the owner does before moving it
    QVERIFY(node->setDmxInUniverse(0));
    quint8 buffer[512];
    quint16 length = 512;
    QVERIFY(!node->readDmxIn(buffer, length));

    NodeThread thread(node);

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
    int reads = 0;
    QElapsedTimer clock;
    clock.start();
    while (last < Frames && clock.elapsed() < 10000) {
        length = 512;
        if (!node->readDmxIn(buffer, length))
            continue;
        ++reads;
        QCOMPARE(int(length), 512);
        const int k = (buffer[0] << 8) | buffer[1];
        QVERIFY2(k > last, qPrintable(QStringLiteral("frame %1 after %2").arg(k).arg(last)));
        for (int i = 2; i < 512; ++i)
            QCOMPARE(buffer[i], quint8(k & 0xFF));
        last = k;
    }
    QCOMPARE(last, Frames);
    QVERIFY(reads > 0);
}

// The first DMX read comes from the GUI thread while the socket belongs to
// the node's thread: it asks that thread to bind and reports nothing meanwhile.
void TestArtnetNode::dmxInputBindsOnNodeThread()
{
    REQUIRE_PRIVATE_NETWORK();
    auto *node = new artnet(false, LoopbackOnly, [](const QByteArray &) {});
    QVERIFY(node->setDmxInUniverse(0));
    NodeThread thread(node);

    quint8 buffer[19];
    quint16 length = 19;
    QVERIFY(!node->readDmxIn(buffer, length));
    QTRY_VERIFY_WITH_TIMEOUT(node->isBound(), 5000);
    QVERIFY(!node->readDmxIn(buffer, length)); // started now, but no frame yet

    QMetaObject::invokeMethod(
        node, [node] { node->dispatchDatagram(dmx(0, 0, 1, bytes({128})), QHostAddress()); },
        Qt::BlockingQueuedConnection);
    QVERIFY(node->readDmxIn(buffer, length));
    QCOMPARE(int(length), 1);
    QCOMPARE(int(buffer[0]), 128);
}

QTEST_GUILESS_MAIN(TestArtnetNode)
#include "tst_artnetnode.moc"
