#pragma once

#include <QByteArray>
#include <initializer_list>

// Datagrams as the Art-Net tests write them, byte by byte.
namespace ArtnetTestBytes
{
inline QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

// An 8-byte ID, a little-endian OpCode and version 14, zero-padded or cut to `size`.
inline QByteArray packet(const char *id, quint16 opCode, int size = 14)
{
    return (QByteArray(id, 8) + bytes({opCode & 0xFF, opCode >> 8, 0, 14}))
        .leftJustified(size, '\0', true);
}

// An ArtDmx whose Length field says `declaredLength`, whatever `data` holds.
inline QByteArray dmx(quint8 subUni, quint8 net, int declaredLength, const QByteArray &data)
{
    return packet("Art-Net", 0x5000) +
           bytes({subUni, net, declaredLength >> 8, declaredLength & 0xFF}) + data;
}
} // namespace ArtnetTestBytes
