#include "artnetinterface.h"

#include <QtTest>

namespace
{
AddressEntry entry(const QString &ip, const QString &mask, const QString &broadcast,
                   const QString &hardware = QString(), const QString &name = QString())
{
    AddressEntry e;
    e.entry.setIp(ip.isNull() ? QHostAddress() : QHostAddress(ip));
    if (!mask.isEmpty())
        e.entry.setNetmask(QHostAddress(mask));
    if (!broadcast.isEmpty())
        e.entry.setBroadcast(QHostAddress(broadcast));
    e.hardwareAddress = hardware;
    e.name = name;
    return e;
}

const AddressEntry Loopback = entry("127.0.0.1", "255.0.0.0", "", "", "lo");
const AddressEntry Eth0 =
    entry("192.168.1.10", "255.255.255.0", "192.168.1.255", "00:1A:2B:3C:4D:5E", "eth0");
const AddressEntry Ten =
    entry("10.0.0.5", "255.0.0.0", "10.255.255.255", "02:00:00:00:00:01", "ten");

// ip/broadcast/netmask/hardware/name of every record, for one compare.
QStringList describe(const QList<ArtnetInterface> &list)
{
    QStringList out;
    for (const ArtnetInterface &i : list)
        out << QStringList{i.entry.ip().toString(), i.entry.broadcast().toString(),
                           i.entry.netmask().toString(), i.hardwareAddress, i.name}
                   .join(QLatin1Char('|'));
    return out;
}

const QString Fallback = QStringLiteral("127.0.0.1|127.255.255.255|255.0.0.0|00:00:00:00:00:00|lo");
} // namespace

using EntryList = QList<AddressEntry>;
Q_DECLARE_METATYPE(EntryList)

class TestArtnetInterfaces : public QObject
{
    Q_OBJECT
private slots:
    void enumerate_data();
    void enumerate();
    void platformListFollowsTheRules();
    void indexOfSubnet_data();
    void indexOfSubnet();
};

void TestArtnetInterfaces::enumerate_data()
{
    QTest::addColumn<EntryList>("entries");
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<QStringList>("records");

    QTest::newRow("adapter and loopback")
        << EntryList{Loopback, Eth0}
        << QStringList{"found IpV4 - 127.0.0.1 memory for later",
                       "found IpV4 - 192.168.1.10  Mask: 255.255.255.0 Broad: 192.168.1.255 add "
                       "to send/receive list with 00:1A:2B:3C:4D:5E on eth0"}
        << QStringList{"192.168.1.10|192.168.1.255|255.255.255.0|00:1A:2B:3C:4D:5E|eth0"};
    QTest::newRow("two adapters keep platform order")
        << EntryList{Eth0, Ten}
        << QStringList{"found IpV4 - 192.168.1.10  Mask: 255.255.255.0 Broad: 192.168.1.255 add "
                       "to send/receive list with 00:1A:2B:3C:4D:5E on eth0",
                       "found IpV4 - 10.0.0.5  Mask: 255.0.0.0 Broad: 10.255.255.255 add to "
                       "send/receive list with 02:00:00:00:00:01 on ten"}
        << QStringList{"192.168.1.10|192.168.1.255|255.255.255.0|00:1A:2B:3C:4D:5E|eth0",
                       "10.0.0.5|10.255.255.255|255.0.0.0|02:00:00:00:00:01|ten"};
    QTest::newRow("IPv6 skipped")
        << EntryList{entry("fe80::1", "ffff:ffff:ffff:ffff::", "", "", "eth0"), Eth0}
        << QStringList{"found IpV6 - fe80::1 dont' use it",
                       "found IpV4 - 192.168.1.10  Mask: 255.255.255.0 Broad: 192.168.1.255 add "
                       "to send/receive list with 00:1A:2B:3C:4D:5E on eth0"}
        << QStringList{"192.168.1.10|192.168.1.255|255.255.255.0|00:1A:2B:3C:4D:5E|eth0"};
    // A null address belongs to no protocol, so it is reported as unknown.
    QTest::newRow("null address") << EntryList{entry(QString(), "", "")}
                                  << QStringList{"found unknown Ip -  dont' use it"}
                                  << QStringList{Fallback};
    QTest::newRow("special addresses")
        << EntryList{entry("0.0.0.0", "255.0.0.0", "0.255.255.255"),
                     entry("255.255.255.255", "255.255.255.255", "255.255.255.255")}
        << QStringList{"found IpV4 - 0.0.0.0 do not use it",
                       "found IpV4 - 255.255.255.255 do not use it"}
        << QStringList{Fallback};
    QTest::newRow("no broadcast")
        << EntryList{entry("10.0.0.5", "255.0.0.0", "", "", "tun0")}
        << QStringList{"found IpV4 - 10.0.0.5  Mask: 255.0.0.0 Broad: don't add because invalid "
                       "broadcast"}
        << QStringList{Fallback};
    QTest::newRow("zero netmask")
        << EntryList{entry("10.0.0.5", "0.0.0.0", "10.255.255.255", "", "x")}
        << QStringList{"found IpV4 - 10.0.0.5  Mask: 0.0.0.0 Broad: 10.255.255.255don't add "
                       "because invalid netmask"}
        << QStringList{Fallback};
    QTest::newRow("no hardware address")
        << EntryList{entry("10.0.0.5", "255.0.0.0", "10.255.255.255", "", "wg0")}
        << QStringList{"found IpV4 - 10.0.0.5  Mask: 255.0.0.0 Broad: 10.255.255.255 add to "
                       "send/receive list with 00:00:00:00:00:00 on wg0"}
        << QStringList{"10.0.0.5|10.255.255.255|255.0.0.0|00:00:00:00:00:00|wg0"};
    QTest::newRow("only loopback")
        << EntryList{entry("127.0.0.1", "255.0.0.0", "127.255.255.255", "", "lo"),
                     entry("::1", "ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff", "", "", "lo")}
        << QStringList{"found IpV4 - 127.0.0.1 memory for later", "found IpV6 - ::1 dont' use it",
                       "found IpV4 - 127.0.0.1 broadcast 127.255.255.255 netmask 255.0.0.0 do "
                       "not use it\n"}
        << QStringList{Fallback};
    QTest::newRow("nothing at all") << EntryList{} << QStringList{} << QStringList{Fallback};
}

void TestArtnetInterfaces::enumerate()
{
    QFETCH(EntryList, entries);
    QFETCH(QStringList, log);
    QFETCH(QStringList, records);

    QStringList written;
    const auto list =
        ArtnetInterfaces::enumerate(entries, [&](const QString &line) { written << line; });
    QCOMPARE(written, log);
    QCOMPARE(describe(list), records);
}

// The platform list feeds the same rules; whatever the machine has, the result
// is never empty and holds IPv4 entries only.
void TestArtnetInterfaces::platformListFollowsTheRules()
{
    const auto list = ArtnetInterfaces::enumerate(ArtnetInterfaces::platformAddressEntries(),
                                                  [](const QString &) {});
    QVERIFY(!list.isEmpty());
    for (const ArtnetInterface &i : list) {
        QCOMPARE(i.entry.ip().protocol(), QAbstractSocket::IPv4Protocol);
        QVERIFY(i.entry.broadcast().toIPv4Address() != 0);
        QCOMPARE(i.hardwareAddress.size(), 17);
    }
}

void TestArtnetInterfaces::indexOfSubnet_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("index");

    QTest::newRow("network of second") << "192.168.1.0" << 1;
    QTest::newRow("host of second") << "192.168.1.50" << 1;
    QTest::newRow("network of first") << "10.0.0.0" << 0;
    QTest::newRow("host of first") << "10.200.3.4" << 0;
    QTest::newRow("all interfaces") << "255.255.255.255" << -1;
    QTest::newRow("foreign subnet") << "172.16.0.1" << -1;
    QTest::newRow("neighbour /24") << "192.168.2.10" << -1;
}

void TestArtnetInterfaces::indexOfSubnet()
{
    QFETCH(QString, address);
    QFETCH(int, index);
    const auto list = ArtnetInterfaces::enumerate({Ten, Eth0}, [](const QString &) {});
    QCOMPARE(ArtnetInterfaces::indexOfSubnet(list, QHostAddress(address).toIPv4Address()), index);
}

QTEST_GUILESS_MAIN(TestArtnetInterfaces)
#include "tst_artnetinterfaces.moc"
