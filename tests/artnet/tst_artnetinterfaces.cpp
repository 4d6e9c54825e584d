#include "artnetinterface.h"
#include "fakeinterfaces.h"
#include "portsharing.h"
#include "table.h"

#include <QtTest>

namespace
{

const AddressEntry Eth0 =
    fakeInterface("192.168.1.10", "192.168.1.255", "eth0", "255.255.255.0", "00:1A:2B:3C:4D:5E");
const AddressEntry Ten = fakeInterface("10.0.0.5", "10.255.255.255", "ten", "255.0.0.0", "");

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
    void enumerate_data()
    {
        Table::columns<EntryList, QStringList, QStringList>("entries", "log", "records");

        // Platform order kept; no hardware address gives zeros.
        QTest::newRow("usable list")
            << EntryList{fakeInterface("127.0.0.1", "", "lo", "255.0.0.0", ""),
                         fakeInterface("fe80::1", "", "eth0", "ffff:ffff:ffff:ffff::", ""), Eth0,
                         Ten}
            << QStringList{"found IpV4 - 127.0.0.1 memory for later",
                           "found IpV6 - fe80::1 dont' use it",
                           "found IpV4 - 192.168.1.10  Mask: 255.255.255.0 Broad: 192.168.1.255 "
                           "add "
                           "to send/receive list with 00:1A:2B:3C:4D:5E on eth0",
                           "found IpV4 - 10.0.0.5  Mask: 255.0.0.0 Broad: 10.255.255.255 add to "
                           "send/receive list with 00:00:00:00:00:00 on ten"}
            << QStringList{"192.168.1.10|192.168.1.255|255.255.255.0|00:1A:2B:3C:4D:5E|eth0",
                           "10.0.0.5|10.255.255.255|255.0.0.0|00:00:00:00:00:00|ten"};
        // A null address belongs to no protocol, so it is reported as unknown.
        QTest::newRow("nothing usable")
            << EntryList{fakeInterface("127.0.0.1", "127.255.255.255", "lo", "255.0.0.0", ""),
                         fakeInterface("", "", "", "", ""),
                         fakeInterface("0.0.0.0", "0.255.255.255", "", "255.0.0.0", ""),
                         fakeInterface("255.255.255.255", "255.255.255.255", "", "255.255.255.255",
                                       ""),
                         fakeInterface("10.0.0.5", "", "", "255.0.0.0", ""),
                         fakeInterface("10.0.0.5", "10.255.255.255", "", "0.0.0.0", "")}
            << QStringList{"found IpV4 - 127.0.0.1 memory for later",
                           "found unknown Ip -  dont' use it",
                           "found IpV4 - 0.0.0.0 do not use it",
                           "found IpV4 - 255.255.255.255 do not use it",
                           "found IpV4 - 10.0.0.5  Mask: 255.0.0.0 Broad: don't add because "
                           "invalid "
                           "broadcast",
                           "found IpV4 - 10.0.0.5  Mask: 0.0.0.0 Broad: 10.255.255.255don't add "
                           "because invalid netmask",
                           "found IpV4 - 127.0.0.1 broadcast 127.255.255.255 netmask 255.0.0.0 do "
                           "not use it\n"}
            << QStringList{Fallback};
        QTest::newRow("nothing at all") << EntryList{} << QStringList{} << QStringList{Fallback};
    }

    void enumerate()
    {
        const auto [entries, log, records] =
            Table::fetch<EntryList, QStringList, QStringList>("entries", "log", "records");

        QStringList got;
        const auto list = ArtnetInterfaces::enumerate(entries, [&](const QString &l) { got << l; });
        QCOMPARE(got, log);
        QCOMPARE(describe(list), records);
    }

    // The kernel's tables as /proc/net/udp and udp6 print them: our own socket, one on
    // another port, and v4-mapped IPv6 sockets on our address and on one that is not ours.
    void otherListeners()
    {
        const QByteArray head =
            "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when "
            "retrnsmt   uid  timeout inode ref pointer drops\n";
        auto row = [](const char *local, int inode) {
            return "   1: " + QByteArray(local) +
                   " 00000000:0000 07 00000000:00000000 00:00000000 " + "00000000     0        0 " +
                   QByteArray::number(inode) + " 2 0000000000000000 0\n";
        };
        const QByteArray udp = head + row("0500000A:1936", 7) + row("00000000:1937", 8);
        const QByteArray udp6 = head + row("0000000000000000FFFF00000500000A:1936", 9) +
                                row("0000000000000000FFFF00000600000A:1936", 10);
        QCOMPARE(PortSharing::otherListeners(udp, udp6, 6454, 7, {0x0A000005}), 1);
    }
};

QTEST_GUILESS_MAIN(TestArtnetInterfaces)
#include "tst_artnetinterfaces.moc"
