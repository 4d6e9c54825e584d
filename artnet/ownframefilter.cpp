#include "ownframefilter.h"

#include "artnetpackets.h"

#include <linux/filter.h>
#include <sys/socket.h>

#include <vector>

namespace
{
// On a UDP socket the filter sees the datagram from its UDP header on; the IP
// header is reached through the kernel's network-header offset.
constexpr quint32 UdpSourcePort = 0;
constexpr quint32 OpCodeAt = 8 + 8; // the UDP header, then "Art-Net\0"
constexpr quint32 IpSource = quint32(SKF_NET_OFF) + 12;
constexpr quint32 Keep = 0xFFFFFFFF;
constexpr quint32 Drop = 0;

sock_filter statement(quint16 code, quint32 k)
{
    return sock_filter{code, 0, 0, k};
}
sock_filter jumpIfEqual(quint32 k, quint8 ifTrue, quint8 ifFalse)
{
    return sock_filter{BPF_JMP | BPF_JEQ | BPF_K, ifTrue, ifFalse, k};
}
} // namespace

bool OwnFrameFilter::attach(qintptr socket, const QList<AddressEntry> &ownAddresses)
{
    std::vector<quint32> own;
    for (const AddressEntry &e : ownAddresses)
        if (e.entry.ip().protocol() == QAbstractSocket::IPv4Protocol)
            own.push_back(e.entry.ip().toIPv4Address());
    // A jump reaches at most 255 instructions ahead.
    if (own.size() > 200)
        own.resize(200);

    // Loads read in network byte order. The port is tested first: a load past
    // the end of a short datagram would drop it, and the UDP header is always
    // there. The opcode is read only for datagrams from an own address, port
    // 6454, so a short one from elsewhere is never lost.
    std::vector<sock_filter> code;
    code.push_back(statement(BPF_LD | BPF_H | BPF_ABS, UdpSourcePort));
    code.push_back(jumpIfEqual(ArtnetPacket::Port, 0, quint8(own.size() + 1)));
    code.push_back(statement(BPF_LD | BPF_W | BPF_ABS, IpSource));
    for (size_t i = 0; i < own.size(); ++i)
        code.push_back(jumpIfEqual(own[i], quint8(own.size() - i), 0));
    code.push_back(statement(BPF_RET | BPF_K, Keep)); // no own address
    code.push_back(statement(BPF_LD | BPF_H | BPF_ABS, OpCodeAt));
    // The opcode is little-endian on the wire; the load reads it big-endian.
    constexpr quint16 op = ArtnetPacket::OpTimeCode;
    code.push_back(jumpIfEqual(quint16((op & 0xFF) << 8 | op >> 8), 1, 0));
    code.push_back(statement(BPF_RET | BPF_K, Keep));
    code.push_back(statement(BPF_RET | BPF_K, Drop));

    const sock_fprog program{quint16(code.size()), code.data()};
    return setsockopt(int(socket), SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program) == 0;
}
