#pragma once

#include <QHostAddress>
#include <QList>
#include <QNetworkAddressEntry>
#include <QString>

#include <functional>

// One IPv4 address entry the node sends on and answers polls from.
struct ArtnetInterface {
    QNetworkAddressEntry entry;
    QString hardwareAddress; // "00:00:00:00:00:00" when the platform has none
    QString name;
};

// One address entry as the platform reports it, with its interface's
// hardware address and name. Enumeration works on a list of these so that
// tests can hand in any machine they like.
struct AddressEntry {
    QNetworkAddressEntry entry;
    QString hardwareAddress;
    QString name;

    bool operator==(const AddressEntry &o) const
    {
        return entry == o.entry && hardwareAddress == o.hardwareAddress && name == o.name;
    }
};

namespace ArtnetInterfaces
{
using Log = std::function<void(const QString &line)>;

// Every address entry of every interface, in platform order, unfiltered.
QList<AddressEntry> platformAddressEntries();

// Picks the usable IPv4 entries in their given order and explains each
// decision through `log`. Never empty: with no usable entry the result is the
// loopback fallback 127.0.0.1/8, so timecode is at least seen on this machine.
QList<ArtnetInterface> enumerate(const QList<AddressEntry> &entries, const Log &log);

// True when the list is the loopback fallback alone.
bool isLoopbackOnly(const QList<ArtnetInterface> &list);

// Index of the first entry whose subnet holds `address`, or -1.
int indexOfSubnet(const QList<ArtnetInterface> &list, quint32 address);
} // namespace ArtnetInterfaces
