#include "artnetinterface.h"

#include <QCoreApplication>
#include <QNetworkInterface>

namespace ArtnetInterfaces
{
namespace
{
const QString NoHardwareAddress = QStringLiteral("00:00:00:00:00:00");

quint32 ip4(const QHostAddress &address)
{
    return address.toIPv4Address();
}

bool isSpecial(const QHostAddress &ip)
{
    const quint32 value = ip4(ip);
    return ip.isNull() || value == 0x7F000001u || value == 0xFFFFFFFFu || value == 0u;
}

ArtnetInterface loopbackFallback(const QHostAddress &ip)
{
    ArtnetInterface fallback;
    fallback.entry.setIp(ip);
    fallback.entry.setNetmask(QHostAddress(QStringLiteral("255.0.0.0")));
    fallback.entry.setBroadcast(QHostAddress(QStringLiteral("127.255.255.255")));
    fallback.hardwareAddress = NoHardwareAddress;
    fallback.name = QCoreApplication::translate("artnet", "lo");
    return fallback;
}
} // namespace

QList<AddressEntry> platformAddressEntries()
{
    QList<AddressEntry> result;
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &iface : interfaces) {
        const QList<QNetworkAddressEntry> entries = iface.addressEntries();
        for (const QNetworkAddressEntry &entry : entries)
            result.append({entry, iface.hardwareAddress(), iface.humanReadableName()});
    }
    return result;
}

QList<ArtnetInterface> enumerate(const QList<AddressEntry> &entries, const Log &log)
{
    QList<ArtnetInterface> list;
    bool haveLoopback = false;
    QNetworkAddressEntry loopback;
    loopback.setIp(QHostAddress(QStringLiteral("0.0.0.0")));

    for (const AddressEntry &candidate : entries) {
        const QHostAddress ip = candidate.entry.ip();
        const QString address = ip.toString();
        if (ip.protocol() == QAbstractSocket::IPv6Protocol) {
            log(QStringLiteral("found IpV6 - ") + address + QStringLiteral(" dont' use it"));
            continue;
        }
        if (ip.protocol() != QAbstractSocket::IPv4Protocol) {
            log(QStringLiteral("found unknown Ip - ") + address + QStringLiteral(" dont' use it"));
            continue;
        }
        if (ip.isNull()) {
            log(QStringLiteral("addr.isNull() found, is invalid, do not use it"));
            continue;
        }
        if (isSpecial(ip)) {
            if (ip4(ip) == 0x7F000001u) {
                // Loopback only serves when nothing else does; see the fallback.
                loopback = candidate.entry;
                haveLoopback = true;
                log(QStringLiteral("found IpV4 - ") + address +
                    QStringLiteral(" memory for later"));
            } else {
                log(QStringLiteral("found IpV4 - ") + address + QStringLiteral(" do not use it"));
            }
            continue;
        }

        const QString text = QStringLiteral("found IpV4 - %1  Mask: %2 Broad: %3")
                                 .arg(address, candidate.entry.netmask().toString(),
                                      candidate.entry.broadcast().toString());
        if (ip4(candidate.entry.netmask()) == 0) {
            log(text + QStringLiteral("don't add because invalid netmask"));
            continue;
        }
        if (ip4(candidate.entry.broadcast()) == 0) {
            log(text + QStringLiteral("don't add because invalid broadcast"));
            continue;
        }
        if (ip4(ip) == 0) {
            log(text + QStringLiteral("don't add because invalid ip"));
            continue;
        }
        const QString hardware =
            candidate.hardwareAddress.isEmpty() ? NoHardwareAddress : candidate.hardwareAddress;
        log(text + QStringLiteral(" add to send/receive list with ") + hardware +
            QStringLiteral(" on ") + candidate.name);
        list.append({candidate.entry, hardware, candidate.name});
    }

    if (list.isEmpty()) {
        list.append(
            loopbackFallback(haveLoopback ? loopback.ip() : QHostAddress(QHostAddress::LocalHost)));
        if (haveLoopback) {
            log(QStringLiteral("found IpV4 - ") + loopback.ip().toString() +
                QStringLiteral(" broadcast ") + loopback.broadcast().toString() +
                QStringLiteral(" netmask ") + loopback.netmask().toString() +
                QStringLiteral(" do not use it\n"));
        }
    }
    return list;
}

bool isLoopbackOnly(const QList<ArtnetInterface> &list)
{
    return list.size() == 1 && list.first().entry.ip().isLoopback();
}

int indexOfSubnet(const QList<ArtnetInterface> &list, quint32 address)
{
    for (int i = 0; i < list.size(); ++i) {
        const quint32 ip = list.at(i).entry.ip().toIPv4Address();
        const quint32 mask = list.at(i).entry.netmask().toIPv4Address();
        if (((ip ^ address) & mask) == 0)
            return i;
    }
    return -1;
}
} // namespace ArtnetInterfaces
