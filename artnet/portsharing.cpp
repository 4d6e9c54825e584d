#include "portsharing.h"

#include <QFile>

#include <arpa/inet.h>
#include <sys/stat.h>

namespace PortSharing
{
namespace
{
// A local address as the kernel prints it: the 32-bit words of the address
// in network order, each as the number it is in memory, in hexadecimal.
// Returns false for an IPv6 address that is neither any nor v4-mapped.
bool ipv4Of(const QByteArray &hex, bool *any, quint32 *address)
{
    bool ok = false;
    if (hex.size() == 8) {
        const quint32 raw = hex.toUInt(&ok, 16);
        *address = ntohl(raw);
        *any = *address == 0;
        return ok;
    }
    if (hex.size() != 32)
        return false;
    if (hex == QByteArray(32, '0')) {
        *any = true;
        return true;
    }
    const QByteArray mapped = hex.mid(16, 8);
    if (hex.left(16) != QByteArray(16, '0') || (mapped != "FFFF0000" && mapped != "0000FFFF"))
        return false;
    *address = ntohl(hex.mid(24, 8).toUInt(&ok, 16));
    *any = false;
    return ok;
}

int count(const QByteArray &table, quint16 port, quint64 ourInode,
          const QList<quint32> &ourAddresses)
{
    int others = 0;
    const QList<QByteArray> lines = table.split('\n');
    // The first line names the columns.
    for (int i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> fields = lines.at(i).simplified().split(' ');
        // sl local rem st queues tr retrnsmt uid timeout inode ...
        if (fields.size() < 10)
            continue;
        const QList<QByteArray> local = fields.at(1).split(':');
        bool ok = false;
        if (local.size() != 2 || local.at(1).toUInt(&ok, 16) != port || !ok)
            continue;
        if (fields.at(9).toULongLong(&ok) == ourInode && ok)
            continue;
        bool any = false;
        quint32 address = 0;
        if (!ipv4Of(local.at(0), &any, &address))
            continue;
        if (any || ourAddresses.contains(address))
            ++others;
    }
    return others;
}

QByteArray read(const char *path, bool *ok)
{
    QFile file{QString::fromLatin1(path)};
    if (!file.open(QIODevice::ReadOnly)) {
        *ok = false;
        return {};
    }
    return file.readAll();
}
} // namespace

int otherListeners(const QByteArray &udp, const QByteArray &udp6, quint16 port, quint64 ourInode,
                   const QList<quint32> &ourAddresses)
{
    return count(udp, port, ourInode, ourAddresses) + count(udp6, port, ourInode, ourAddresses);
}

int otherListeners(qintptr descriptor, quint16 port, const QList<quint32> &ourAddresses)
{
    struct stat info {
    };
    if (descriptor < 0 || ::fstat(int(descriptor), &info) != 0)
        return -1;
    bool ok = true;
    const QByteArray udp = read("/proc/net/udp", &ok);
    if (!ok)
        return -1;
    // Without IPv6 there is no udp6 table, and no socket in it.
    bool ok6 = true;
    const QByteArray udp6 = read("/proc/net/udp6", &ok6);
    return otherListeners(udp, udp6, port, quint64(info.st_ino), ourAddresses);
}
} // namespace PortSharing
