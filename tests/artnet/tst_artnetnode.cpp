#include "artnet.h"
#include "artnettestbytes.h"
#include "fakeclock.h"
#include "fakeinterfaces.h"
#include "privatenetwork.h"
#include "receivestamp.h"
#include "table.h"
#include "workerthread.h"

#include <QNetworkDatagram>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QUdpSocket>
#include <QtTest>

#include <cerrno>
#include <thread>

namespace
{
using namespace ArtnetTestBytes;

const QList<AddressEntry> TwoAdapters = {
    fakeInterface("10.0.0.5", "10.255.255.255", "ten", "255.0.0.0"),
    fakeInterface("192.168.1.10", "192.168.1.255", "eth0", "255.255.255.0", "00:1A:2B:3C:4D:5E")};

QStringList addresses(const ArtnetStatus &status)
{
    QStringList list;
    for (const ArtnetDestination &destination : status.destinations)
        list << destination.address;
    return list;
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

// A node on a machine the test changes at will, timed by a clock it moves by hand.
struct LiveNode {
    explicit LiveNode(const QList<AddressEntry> &start = {})
        : machine(start),
          node(
              true, [this] { return machine; }, [this](const QByteArray &b) { out += b; }, &clock)
    {
    }
    QStringList destinations() const { return addresses(node.status()); }
    QList<AddressEntry> machine;
    FakeClock clock;
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
    void twoAdapters()
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

        // A poll is answered from the entry whose subnet holds the poller, with the node's names.
        n.node.setNodeNames(QStringLiteral("S"), QStringLiteral("L"));
        auto ipMacNames = [&](const QString &poller) {
            const QByteArray reply = n.node.pollReplyFor(QHostAddress(poller));
            return reply.isEmpty()
                       ? QByteArray("none")
                       : reply.mid(10, 4) + reply.mid(201, 6) + reply.at(26) + reply.at(44);
        };
        QCOMPARE(ipMacNames("192.168.1.50"),
                 bytes({192, 168, 1, 10, 0, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E, 'S', 'L'}));
        QCOMPARE(ipMacNames("10.9.8.7"), bytes({10, 0, 0, 5, 0x02, 0, 0, 0, 0, 0x01, 'S', 'L'}));
        QCOMPARE(ipMacNames("192.168.2.1"), QByteArray("none"));

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
    // notices are process-wide, so this is the only test receiving those kinds. Each group
    // arrives within a second; past a few lines of a kind, its repeats are summed up when
    // that second is over.
    void verboseLines()
    {
        Node quiet(false);
        LiveNode n, other;
        // The first ArtSync comes while verbose is off: its notice is gone for good.
        quiet.node.dispatchDatagram(packet("Art-Net", 0x5200), Peer);
        auto send = [&](const QByteArray &datagram, int times) {
            n.clock.advance(VerboseLog::LongestPeriodMs);
            for (int i = 0; i < times; ++i)
                n.node.dispatchDatagram(datagram, Peer);
            n.clock.advance(VerboseLog::LongestPeriodMs);
            n.node.housekeeping();
            QByteArray out = std::exchange(n.out, {});
            // Housekeeping's own lines are not the business of this test.
            out.replace("network addresses changed, reading the interfaces again\n", "");
            return out;
        };
        const QByteArray unknown("receive not implemented OpCode at time 0x");
        const QByteArray pre("MadrixN SYNC PRE \n"), post("MadrixN SYNC POST \n");
        const QByteArray sync("ART SYNC \n");
        QCOMPARE(send(packet("Art-Net", 0x2100, 240), 1), QByteArray("Art-Net PollReply\n"));
        QCOMPARE(send(packet("Art-Net", 0xF8AB), 1), unknown + "F8AB\n");
        QCOMPARE(send(packet("Art-Net", 0x00F0, 13), 1), unknown + "F0\n");
        QCOMPARE(send(packet("MadrixN", 0x5101), 1), pre);

        QCOMPARE(send(packet("Art-Net", 0x5200), 2), sync + sync);
        QCOMPARE(send(packet("Art-Net", 0x5200), 5),
                 sync.repeated(3) + "ART SYNC from 127.0.0.2: 2 more in the last second\n");
        QCOMPARE(send(packet("Art-Net", 0x9700, 20), 2),
                 QByteArray("receiving Art-Net TIMECODE ...\n"
                            "ArtTimeCode from another source 127.0.0.2\n"
                            "no more ArtTimeCode from 127.0.0.2\n"));
        QCOMPARE(send(packet("Art-Net", 0x5101), 2),
                 "receiving Art-Net SYNC PRE ...\n" + pre + pre);
        QCOMPARE(send(packet("Art-Net", 0x5202), 2),
                 "receiving Art-Net SYNC POST ...\n" + post + post);
        QCOMPARE(send(packet("MadrixN", 0x5202), 2),
                 "receiving MadrixN SYNC POST ...\n" + post + post);
        // Another node in the same process does not see them again.
        other.node.dispatchDatagram(packet("Art-Net", 0x9700, 20), Self);
        other.out.replace("ArtTimeCode from another source 127.0.0.1\n", "");
        QCOMPARE(quiet.take() + other.out, QByteArray());
    }

    // Hostile datagrams for ten seconds, with verbose on: every one of them is
    // accounted for (written, or counted in a summary), no line is empty, and the lines
    // stay few however many datagrams come and from however many senders.
    void verboseFloods_data()
    {
        Table::columns<QByteArray, int, int, int>("datagram", "senders", "perSecond", "seconds");
        Table::row("ArtSync from one sender, 20000/s", packet("Art-Net", 0x5200), 1, 20000, 10);
        Table::row("unknown OpCodes from 241 senders, 230/s", packet("Art-Net", 0x2400), 241, 230,
                   10);
        Table::row("PollReplies from 60000 senders, 20000/s", packet("Art-Net", 0x2100, 240), 60000,
                   20000, 10);
        Table::row("ArtSync from 20 senders, 50/s for an hour", packet("Art-Net", 0x5200), 20, 50,
                   3600);
    }

    void verboseFloods()
    {
        const auto [datagram, senders, perSecond, seconds] =
            Table::fetch<QByteArray, int, int, int>("datagram", "senders", "perSecond", "seconds");
        LiveNode n;
        n.node.housekeeping();
        n.out.clear();
        // Timed as on the wire, with the node's housekeeping every 500 ms.
        qint64 at = 0;
        for (int k = 0; k < seconds * perSecond; ++k) {
            for (const qint64 due = qint64(k) * 1000 / perSecond; at < due; ++at) {
                n.clock.advance(1);
                if (at % artnet::HousekeepingMs == 0)
                    n.node.housekeeping();
            }
            n.node.dispatchDatagram(datagram, QHostAddress(0x0A4D0000u + quint32(k % senders)));
        }
        n.clock.advance(VerboseLog::LongestPeriodMs);
        n.node.housekeeping();

        const QList<QByteArray> lines = n.out.split('\n');
        QCOMPARE(lines.last(), QByteArray()); // the output ends with a line end
        quint64 accounted = 0;
        const QRegularExpression summary(
            QStringLiteral("([0-9,]+) more (lines about other received datagrams )?in the last "
                           "(second|[0-9]+ seconds)$"));
        for (int i = 0; i + 1 < lines.size(); ++i) {
            const QString line = QString::fromLatin1(lines.at(i));
            QVERIFY2(!line.trimmed().isEmpty(), "an empty line");
            const QRegularExpressionMatch m = summary.match(line);
            accounted += m.hasMatch() ? m.captured(1).remove(QLatin1Char(',')).toULongLong() : 1;
        }
        QCOMPARE(accounted, quint64(seconds) * quint64(perSecond));
        // A first line and a summary for a few kinds and one line for all others, per
        // period; periods grow from a second to a minute while a flood lasts.
        const int most = ((VerboseLog::Verbatim + 1) * VerboseLog::Kinds + 1) * (7 + seconds / 60);
        QVERIFY2(lines.size() - 1 <= most, qPrintable(QString::number(lines.size() - 1)));
    }

    // Our own broadcasts come back from our own addresses; anything else is a second generator.
    // It runs after verboseLines, which must see the process's first ArtTimeCode.
    void anotherTimeCodeSource()
    {
        LiveNode n(TwoAdapters);
        QSignalSpy reports(&n.node, &artnet::signalStatus);
        const QByteArray code = ArtnetPacket::timeCode(1, 2, 3, 4, 1);
        auto otherAfter = [&](qint64 ms, const char *sender) {
            n.clock.advance(ms);
            if (sender)
                n.node.dispatchDatagram(code, QHostAddress(QLatin1String(sender)));
            n.node.housekeeping();
            return n.node.status().otherSource;
        };
        QCOMPARE(otherAfter(0, "10.0.0.5"), QString());
        QCOMPARE(otherAfter(0, "192.168.1.10"), QString());
        QCOMPARE(otherAfter(0, "10.0.0.9"), QStringLiteral("10.0.0.9"));
        QCOMPARE(reports.last().at(0).value<ArtnetStatus>().otherSource,
                 QStringLiteral("10.0.0.9"));
        QCOMPARE(otherAfter(2999, "10.0.0.9"), QStringLiteral("10.0.0.9")); // still sending
        // A second sender (or forged ones, in turn) does not make the warning flicker.
        QCOMPARE(otherAfter(1, "10.0.0.7"), QStringLiteral("10.0.0.9"));
        QCOMPARE(otherAfter(2998, nullptr), QStringLiteral("10.0.0.9"));
        QCOMPARE(otherAfter(1, nullptr), QString()); // it stopped: the warning goes
        QCOMPARE(reports.last().at(0).value<ArtnetStatus>().otherSource, QString());
        // Other destinations are reported as soon as the node's thread is free, not by
        // housekeeping.
        n.node.setDestinationOptions(false, {Peer});
        QCoreApplication::sendPostedEvents(&n.node, QEvent::MetaCall);
        QCOMPARE(addresses(reports.last().at(0).value<ArtnetStatus>()), QStringList{"127.0.0.2"});
    }

    // Started before the show network, the node must find it, come back to the operator's
    // choice when that network returns, and say so in the verbose log.
    void interfacesFollowTheMachine()
    {
        LiveNode n;
        QSignalSpy reports(&n.node, &artnet::signalStatus);
        n.node.selectInterface(QStringLiteral("192.168.1.0")); // chosen while it is absent
        QVERIFY(n.node.status().loopbackOnly);
        QCOMPARE(n.destinations(), QStringList{"127.255.255.255"});

        const QList<AddressEntry> tenOnly{TwoAdapters.first()};
        struct Step {
            qint64 ms;
            QList<AddressEntry> machine;
            QStringList destinations;
        };
        const Step steps[] = {
            {1999, TwoAdapters, {"127.255.255.255"}}, // not read again yet
            {1, TwoAdapters, {"192.168.1.255"}},      // the chosen network appeared
            {2000, tenOnly, {"10.255.255.255"}},      // and went: every entry left
            {2000, TwoAdapters, {"192.168.1.255"}},   // and is back
            {2000, {}, {"127.255.255.255"}},
        };
        for (const Step &step : steps) {
            n.machine = step.machine;
            n.clock.advance(step.ms);
            n.out.clear();
            n.node.housekeeping();
            QCOMPARE(n.destinations(), step.destinations);
            QCOMPARE(addresses(reports.last().at(0).value<ArtnetStatus>()), step.destinations);
        }
        QCOMPARE(n.node.status().loopbackOnly, true);
        QVERIFY(n.out.startsWith("network addresses changed, reading the interfaces again\n"));
    }

    // A port taken at start is tried once a second, by frames and by housekeeping alike;
    // once bound, polls are answered (to the poller's port 6454, not the one it sent from).
    void busyPortRetriedOnceASecond()
    {
        REQUIRE_PRIVATE_NETWORK();
        auto blocker = std::make_unique<QUdpSocket>();
        QVERIFY(blocker->bind(QHostAddress::AnyIPv4, 6454, QUdpSocket::DontShareAddress));
        LiveNode n;
        QSignalSpy reports(&n.node, &artnet::signalStatus);
        n.node.setShareAddress(false);
        n.node.setPollReplyEnabled(true);
        const QByteArray busy("Art-Net port 6454 in use by another program, trying again\n");
        auto attemptsAfter = [&](qint64 ms, int frames) {
            n.clock.advance(ms);
            for (int i = 0; i < frames; ++i)
                n.node.slotSendTimeCode(1, 2, 3, 4, 1, &Peer);
            return n.out.count(busy);
        };
        QCOMPARE(attemptsAfter(0, 30), 1);
        QCOMPARE(attemptsAfter(999, 30), 1);
        // Reported by the first failure itself, not by the next housekeeping.
        QVERIFY(!reports.isEmpty() && reports.last().at(0).value<ArtnetStatus>().portBusy);
        QCOMPARE(attemptsAfter(1, 30), 2);

        blocker.reset();
        // The console shares the port: the node's plain bind fails, its shared retry must not.
        QUdpSocket peer, sender;
        QVERIFY(peer.bind(Peer, 6454, Shared));
        n.clock.advance(1000);
        n.node.housekeeping(); // no frame needed
        QVERIFY(n.node.isBound());
        QVERIFY(!n.node.status().portBusy);
        n.out.clear();

        QVERIFY(sender.bind(Peer, 0));
        sender.writeDatagram(packet("Art-Net", 0x2000), Self, 6454);
        QTRY_VERIFY_WITH_TIMEOUT(peer.hasPendingDatagrams(), 5000);
        QCOMPARE(peer.receiveDatagram().data().mid(10, 4), bytes({127, 0, 0, 1}));
        QCOMPARE(n.out, QByteArray("PollReply to 127.0.0.2 from 127.0.0.1 SubId 0\n"));
        for (int i = 0; i < 3; ++i)
            n.node.slotSendTimeCode(1, 2, 3, 4, 1, &Peer);
        // Housekeeping and one keep-alive, however many frames went out.
        QCOMPARE(n.node.findChildren<QTimer *>(Qt::FindDirectChildrenOnly).size(), 2);
    }

    // Length clamping and zero fill are the packet tests' business.
    void dmxInputStore()
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
        QCOMPARE(reply.mid(18, 2) + reply.mid(172, 2) + reply.mid(190, 1),
                 bytes({1, 0xF, 0, 1, 0xFF}));

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
    // first read asks the node's thread to bind and reports nothing meanwhile (a frame through
    // the socket is tst_remotewiring's dmxRemote). Then frames carry their number in the first
    // two bytes and its low byte in every other one: a torn copy shows mixed bytes, a lost or
    // repeated new-data mark shows as a number read twice.
    void dmxReadNeverTornAcrossThreads()
    {
        REQUIRE_PRIVATE_NETWORK();
        auto *node = new artnet(false, QList<AddressEntry>{}, [](const QByteArray &) {});
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

    // The timing thread's path: the same bytes to the same destinations as the
    // slot, written while the node's thread does nothing. Two adapters whose
    // "broadcast" addresses are two peers on the loopback tell the destinations apart.
    void timeCodeSenderSendsFromAnyThread_data()
    {
        Table::columns<QString, bool, QString, int, int, QString>("select", "broadcast", "unicast",
                                                                  "offset", "streamId", "reached");
        Table::row("every adapter", QString(), true, QString(), 0, 0, "xy");
        Table::row("first adapter", "10.0.0.0", true, QString(), 0, 0, "x");
        Table::row("adapter gone", "172.16.0.0", true, QString(), 0, 0, "xy");
        Table::row("unicast beside the broadcast", "10.0.1.0", true, "127.0.0.4", 0, 0, "yz");
        Table::row("unicast only", QString(), false, "127.0.0.4 127.0.0.2", 0, 0, "xz");
        Table::row("nothing at all", QString(), false, QString(), 0, 0, "");
        Table::row("offset over a minute, true drop-frame, stream id", "10.0.0.0", true, QString(),
                   26, 9, "x");
    }

    void timeCodeSenderSendsFromAnyThread()
    {
        REQUIRE_PRIVATE_NETWORK();
        const auto [select, broadcast, unicast, offset, streamId, reached] =
            Table::fetch<QString, bool, QString, int, int, QString>(
                "select", "broadcast", "unicast", "offset", "streamId", "reached");
        QUdpSocket x, y, z;
        QVERIFY(x.bind(QHostAddress(QStringLiteral("127.0.0.2")), 6454, Shared));
        QVERIFY(y.bind(QHostAddress(QStringLiteral("127.0.0.3")), 6454, Shared));
        QVERIFY(z.bind(QHostAddress(QStringLiteral("127.0.0.4")), 6454, Shared));
        auto n = std::make_unique<Node>(
            false, QList<AddressEntry>{fakeInterface("10.0.0.5", "127.0.0.2", "x"),
                                       fakeInterface("10.0.1.5", "127.0.0.3", "y")});
        if (!select.isEmpty())
            n->node.selectInterface(select);
        QList<QHostAddress> unicastAddresses;
        QVERIFY(artnet::parseUnicast(unicast, &unicastAddresses));
        n->node.setDestinationOptions(broadcast, unicastAddresses);
        n->node.setTimeCodeOptions(FrameShift{offset, true}, quint8(streamId));
        // 01:02:59;20 at 29.97 drop-frame, moved by the offset without the dropped labels.
        const TimeCode code = TimeCode::make(1, 2, 59, 20, 2);
        const TimeCode shifted = TimeCodeMath::addFrames(code, offset, true);
        const QByteArray expected = ArtnetPacket::timeCode(
            shifted.Hour, shifted.Minute, shifted.Seconds, shifted.Frame, 2, quint8(streamId));
        QCOMPARE(expected.at(13), char(streamId));
        const std::shared_ptr<FrameSender> sender = n->node.timeCodeSender();
        // Which peers got the exact frame within `ms`, without running this thread's
        // event loop; '!' for other bytes.
        auto got = [&](int ms) {
            QString peers;
            for (QUdpSocket *peer : {&x, &y, &z}) {
                if (!peer->waitForReadyRead(ms))
                    continue;
                const bool exact = peer->receiveDatagram().data() == expected;
                peers += !exact ? '!' : peer == &x ? 'x' : peer == &y ? 'y' : 'z';
            }
            return peers;
        };

        // Without a socket the frame goes the queued way, and the node binds as it sends.
        sender->sendFrame(code);
        QVERIFY(!n->node.isBound());
        if (reached.isEmpty()) // nowhere to send to: the slot never reaches the bind
            n->node.openSocket();
        QTRY_VERIFY_WITH_TIMEOUT(n->node.isBound(), 5000);
        QCOMPARE(got(300), reached);

        std::thread timing([&] { sender->sendFrame(code); });
        timing.join();
        QCOMPARE(got(300), reached);

        // A node that has gone leaves a sender that sends nothing and does not crash.
        n.reset();
        sender->sendFrame(code);
        QCOMPARE(got(100), QString());
    }

    void unicastList_data()
    {
        // parsed: "refused" when the list is refused
        Table::columns<QString, QString>("text", "parsed");
        const auto row = [](const char *name, const char *text, const char *parsed = "refused") {
            Table::row(name, text, parsed);
        };
        row("two, blanks around", " 10.77.0.2   192.168.77.9 ", "10.77.0.2 192.168.77.9");
        row("empty", "", "");
        row("short form", "10.1");
        row("any address", "0.0.0.0");
        row("byte too big", "10.77.0.256");
        row("host name", "desk");
        row("hexadecimal", "0x0a.0.0.1");
        row("IPv6", "::1");
        row("one bad among good", "10.77.0.2 10.77.0");
    }

    // What the settings window accepts at OK and the node sends to.
    void unicastList()
    {
        const auto [text, parsed] = Table::fetch<QString, QString>("text", "parsed");
        QList<QHostAddress> out{QHostAddress(QStringLiteral("1.2.3.4"))};
        const bool ok = artnet::parseUnicast(text, &out);
        QStringList got;
        for (const QHostAddress &a : out)
            got << a.toString();
        QCOMPARE(ok ? got.join(' ') : QStringLiteral("refused"), parsed);
        if (!ok)
            QCOMPARE(got, QStringList{"1.2.3.4"}); // left as it was
    }

    // Each destination counts what left for it; one the system refuses (no route
    // in this namespace) says why, and does not stop the other. The bytes that
    // left are tst_defaultwire's business.
    void framesCountedPerDestination()
    {
        REQUIRE_PRIVATE_NETWORK();
        QUdpSocket peer;
        QVERIFY(peer.bind(Peer, 6454, Shared));
        Node n(false, {fakeInterface("10.0.0.5", "127.0.0.2", "x"),
                       fakeInterface("192.168.77.1", "192.168.77.255", "y")});
        n.node.setPollReplyEnabled(true);
        QVERIFY(n.node.isBound());
        const std::shared_ptr<FrameSender> sender = n.node.timeCodeSender();
        for (int frame = 0; frame < 3; ++frame)
            sender->sendFrame(TimeCode::make(1, 2, 3, quint8(frame), 1));
        const QList<ArtnetDestination> expected{{"127.0.0.2", 3, 0},
                                                {"192.168.77.255", 0, ENETUNREACH}};
        QCOMPARE(n.node.status().destinations, expected);
        // The list changes under a running count: what stays keeps its count.
        n.node.selectInterface(QStringLiteral("10.0.0.0"));
        QCOMPARE(n.node.status().destinations, expected.mid(0, 1));
    }

    // The timing thread reads the destinations while another thread changes them:
    // every read is one whole list, never a mix of two.
    void destinationListNeverTorn()
    {
        DestinationTable table;
        const QList<quint32> a{1, 2, 3}, b{10, 11, 12, 13, 14, 15, 16};
        table.setAddresses(a);
        std::atomic<bool> done{false};
        std::thread writer([&] {
            for (int i = 0; i < 20000; ++i)
                table.setAddresses(i % 2 ? a : b);
            done = true;
        });
        int reads = 0, torn = 0;
        DestinationTable::Targets targets;
        while (!done || reads < 1000) {
            const int count = table.targets(targets);
            QList<quint32> got;
            for (int i = 0; i < count; ++i)
                got << targets[size_t(i)].address;
            torn += got != a && got != b;
            table.note(targets[0], true, 0);
            ++reads;
        }
        writer.join();
        QCOMPARE(torn, 0);
        QCOMPARE(table.outcomes().size(), a.size()); // the last list was a
    }

    // Another program on port 6454 with SO_REUSEADDR takes unicast polls meant for
    // us; the kernel's socket table tells, and the status says so until it is gone.
    // A socket on an address that is not ours takes nothing from us.
    void sharedPortNoticed()
    {
        REQUIRE_PRIVATE_NETWORK();
        LiveNode n;
        n.node.setPollReplyEnabled(true);
        QVERIFY(n.node.isBound());
        auto sharedAfter = [&](QUdpSocket *other, const QHostAddress &address) {
            if (other)
                other->bind(address, 6454, Shared);
            n.clock.advance(artnet::InterfacePollMs);
            n.node.housekeeping();
            return n.node.status().portShared;
        };
        QCOMPARE(sharedAfter(nullptr, {}), false);
        auto elsewhere = std::make_unique<QUdpSocket>();
        QCOMPARE(sharedAfter(elsewhere.get(), Peer), false);
        QCOMPARE(n.out, QByteArray()); // nothing to say while nothing is shared
        auto other = std::make_unique<QUdpSocket>();
        QCOMPARE(sharedAfter(other.get(), QHostAddress(QHostAddress::AnyIPv4)), true);
        QVERIFY(n.out.contains("another program listens on port 6454 as well"));
        other.reset();
        QCOMPARE(sharedAfter(nullptr, {}), false);
    }

    // A follower learns the other clock's grid from arrivals: a code read late
    // (the node's thread, here the test's own, held up) still arrived when it
    // arrived. A stamp from the future or over a second old is not the
    // datagram's: now instead.
    void arrivalIsTheKernelsStamp()
    {
        REQUIRE_PRIVATE_NETWORK();
        struct Arrivals : ArtTimeCodeListener {
            QList<qint64> ns;
            void timeCodeReceived(const TimeCode &, quint32, qint64 arrivalNs) override
            {
                ns << arrivalNs;
            }
        };
        Node n(false);
        QVERIFY(n.node.openSocket());
        auto arrivals = std::make_shared<Arrivals>();
        n.node.setTimeCodeListener(arrivals);
        QUdpSocket peer;
        QVERIFY(peer.bind(Peer, 0));
        const QByteArray code = ArtnetPacket::timeCode(1, 2, 3, 4, 1);
        const qint64 before = KernelClock::nowNs(CLOCK_MONOTONIC);
        QCOMPARE(peer.writeDatagram(code, Self, 6454), qint64(code.size()));
        const qint64 sent = KernelClock::nowNs(CLOCK_MONOTONIC);
        QTest::qSleep(40);
        const qint64 readable = KernelClock::nowNs(CLOCK_MONOTONIC);
        QTRY_COMPARE(arrivals->ns.size(), 1);
        QVERIFY(arrivals->ns[0] > before - 1000000);
        QVERIFY(arrivals->ns[0] < sent + (readable - sent) / 2);

        const qint64 second = 1000000000;
        QCOMPARE(ReceiveStamp::toMonotonic(6 * second, 7 * second, 50 * second), 49 * second);
        QCOMPARE(ReceiveStamp::toMonotonic(5 * second, 6 * second + 1, 50 * second), 50 * second);
        QCOMPARE(ReceiveStamp::toMonotonic(5 * second + 1, 5 * second, 50 * second), 50 * second);
    }
};

QTEST_GUILESS_MAIN(TestArtnetNode)
#include "tst_artnetnode.moc"
