#include "artnetpackets.h"
#include "ownframefilter.h"
#include "privatenetwork.h"
#include "table.h"

#include <QNetworkDatagram>
#include <QUdpSocket>
#include <QtTest>

// The filter on a real socket: each row's datagram is sent, then a marker
// from elsewhere; once the marker is in, the datagram has arrived or it never will.
class TestOwnFrameFilter : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { REQUIRE_PRIVATE_NETWORK(); }

    void dropsOnlyOwnTimeCode_data()
    {
        Table::columns<QString, int, QByteArray, bool>("from", "port", "datagram", "arrives");
        const QByteArray code = ArtnetPacket::timeCode(10, 0, 0, 1, 1);
        QByteArray poll = code.left(14);
        poll[8] = 0x00, poll[9] = 0x20;
        Table::row("own timecode", "127.0.0.1", 6454, code, false);
        Table::row("own address, other port", "127.0.0.1", 0, code, true);
        Table::row("another node's timecode", "127.0.0.2", 6454, code, true);
        Table::row("poll from this computer", "127.0.0.1", 6454, poll, true);
        Table::row("short datagram from elsewhere", "127.0.0.2", 6454, QByteArray("x"), true);
    }

    void dropsOnlyOwnTimeCode()
    {
        const auto [from, port, datagram, arrives] =
            Table::fetch<QString, int, QByteArray, bool>("from", "port", "datagram", "arrives");
        QUdpSocket node;
        QVERIFY(node.bind(QHostAddress::AnyIPv4, 0));
        AddressEntry own;
        own.entry.setIp(QHostAddress(QStringLiteral("127.0.0.1")));
        AddressEntry other;
        other.entry.setIp(QHostAddress(QStringLiteral("10.77.0.1")));
        QVERIFY(OwnFrameFilter::attach(node.socketDescriptor(), {other, own}));

        QUdpSocket sender, marker;
        QVERIFY(sender.bind(QHostAddress(from), quint16(port), QUdpSocket::ShareAddress));
        QVERIFY(marker.bind(QHostAddress(QStringLiteral("127.0.0.3")), 0));
        const QHostAddress to(QStringLiteral("127.0.0.1"));
        QCOMPARE(sender.writeDatagram(datagram, to, node.localPort()), datagram.size());
        QCOMPARE(marker.writeDatagram("marker", to, node.localPort()), 6);

        QList<QByteArray> received;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                while (node.hasPendingDatagrams())
                    received << node.receiveDatagram().data();
                return received.contains("marker");
            }(),
            5000);
        QCOMPARE(received.contains(datagram), arrives);
    }
};

QTEST_MAIN(TestOwnFrameFilter)
#include "tst_ownframefilter.moc"
