#pragma once

#include <QByteArray>
#include <QList>
#include <QtGlobal>

// Whether another socket on this machine listens on our UDP port. With
// SO_REUSEADDR both binds succeed; broadcasts reach both sockets, but a
// datagram sent to one address reaches only one of them, so a console's
// unicast poll may go to the other program and never to us. The kernel
// lists every UDP socket of the network namespace in /proc/net/udp and
// udp6; elsewhere the answer is "cannot tell".
namespace PortSharing
{
// Sockets other than the one with inode `ourInode` bound to `port` that can
// receive datagrams sent to one of `ourAddresses` (IPv4, host order): bound
// to that address or to any. Reads the kernel's tables in the text form of
// /proc/net/udp (`udp`) and /proc/net/udp6 (`udp6`).
int otherListeners(const QByteArray &udp, const QByteArray &udp6, quint16 port, quint64 ourInode,
                   const QList<quint32> &ourAddresses);

// The same for the socket `descriptor` on this machine; -1 when the system
// does not tell.
int otherListeners(qintptr descriptor, quint16 port, const QList<quint32> &ourAddresses);
} // namespace PortSharing
