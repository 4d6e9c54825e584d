#include "artnetpackets.h"
#include "artnettestbytes.h"
#include "table.h"

#include <QtTest>

using namespace ArtnetPacket;

Q_DECLARE_METATYPE(ArtnetPacket::Kind)

namespace
{
using namespace ArtnetTestBytes;

const QByteArray ArtNet("Art-Net\0", 8);

QByteArray zeros(int n)
{
    return QByteArray(n, '\0');
}
} // namespace

class TestArtnetPackets : public QObject
{
    Q_OBJECT
private slots:
    void sentBytes()
    {
        const QByteArray head = ArtNet + bytes({0x00, 0x97, 0x00, 0x0E, 0x00, 0x00});
        QCOMPARE(timeCode(1, 2, 3, 4, 1), head + bytes({4, 3, 2, 1, 1, 0}));
        // Values go out as they come, even when no receiver could use them.
        QCOMPARE(timeCode(99, 200, 255, 254, 7), head + bytes({254, 255, 200, 99, 7, 0}));

        const QString longName = QStringLiteral("Orvello v2.0.0.1 by www.orvello.example");
        const std::array<quint8, MacSize> mac{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
        PollReplyInfo info{0xC0A8010A, mac,      2,  0,     0x0C, 0x11,
                           "Orvello",  longName, "", false, 0x1FF};
        // The port-address goes out whole: Net 1 in NetSwitch, Sub-Net 0xF in
        // SubSwitch, SwOut the whole low byte; nothing of it without a port.
        for (bool hasPort : {false, true}) {
            info.hasOutputPort = hasPort;
            const QByteArray expected =
                ArtNet + bytes({0x00, 0x21, 192, 168, 1, 10, 0x36, 0x19, 2, 0}) +
                bytes({hasPort ? 1 : 0, hasPort ? 0x0F : 0, 0x0C, 0x11}) + zeros(4) +
                QByteArray("Orvello").leftJustified(18, '\0') +
                longName.toLatin1().leftJustified(128, '\0') + bytes({0, hasPort}) +
                QByteArray(4, char(0x85)) + zeros(4) + QByteArray(4, char(0x80)) + zeros(4) +
                bytes({hasPort ? 0xFF : 0, 0, 0, 0}) + zeros(7) +
                bytes({0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}) + zeros(33);
            QCOMPARE(pollReply(info), expected);
        }
        // Bit 15 is no part of a port-address; a universe of 65536 still names Net 0x7F.
        info.hasOutputPort = true;
        const std::array<int, 4> addresses[] = {
            {0x7A5, 7, 0xA, 0xA5}, {0x0F, 0, 0, 0x0F}, {0xFFFF, 0x7F, 0xF, 0xFF}};
        for (const auto &[address, net, sub, swOut] : addresses) {
            info.portAddress = quint16(address);
            const QByteArray reply = pollReply(info);
            QCOMPARE(reply.mid(18, 2) + reply.mid(190, 1), bytes({net, sub, swOut}));
        }

        // Names are cut to leave a terminating zero, and go out as Latin-1.
        info.shortName = QStringLiteral("ABCDEFGHIJKLMNOPQRST");
        info.longName = QString(100, QLatin1Char('y'));
        QCOMPARE(pollReply(info).mid(26, 18), QByteArray("ABCDEFGHIJKLMNOPQ\0", 18));
        QCOMPARE(pollReply(info).mid(44, 64), QByteArray(63, 'y') + '\0');
        info.shortName = QStringLiteral("Bühne");
        QCOMPARE(pollReply(info).mid(26, 18), QByteArray("B\xfchne").leftJustified(18, '\0'));
    }

    void macFromText_data()
    {
        Table::columns<QString, QByteArray>("text", "mac");

        Table::row("upper case", "00:1A:2B:3C:40:FF", bytes({0, 0x1A, 0x2B, 0x3C, 0x40, 0xFF}));
        // Lower-case letters are not hexadecimal digits here: they add nothing.
        Table::row("lower case", "00:1a:2b:3c:4d:5e", bytes({0, 1, 2, 3, 4, 5}));
        // Pairs are taken from the text with the colons removed, not per group.
        Table::row("short groups", "1:2:3", bytes({0x12, 0x03, 0, 0, 0, 0}));
        Table::row("foreign characters", "G1:-2:3x", bytes({1, 2, 3, 0, 0, 0}));
        Table::row("past six bytes", "01:02:03:04:05:06:07", bytes({1, 2, 3, 4, 5, 6}));
    }

    void macFromText()
    {
        const auto [text, mac] = Table::fetch<QString, QByteArray>("text", "mac");
        const auto result = ArtnetPacket::macFromText(text);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(result.data()), 6), mac);
    }

    // Which OpCode means what is proven by the node's dispatch lines; here the
    // rules that decide whether a datagram is looked at at all.
    void classify_data()
    {
        Table::columns<QByteArray, ArtnetPacket::Kind, int>("data", "kind", "opCode");

        Table::row("12-byte poll", packet("Art-Net", 0x2000, 12), Kind::Ignored, 0);
        Table::row("13-byte poll", packet("Art-Net", 0x2000, 13), Kind::Poll, 0x2000);
        Table::row("unknown", packet("Art-Net", 0x2400), Kind::UnknownOpCode, 0x2400);
        Table::row("big-endian", packet("Art-Net", 0x0097), Kind::UnknownOpCode, 0x0097);
        Table::row("blank for zero", packet("Art-Net ", 0x2000), Kind::Ignored, 0);
        Table::row("upper case", packet("ART-NET", 0x2000), Kind::Ignored, 0);
        Table::row("madrix pre", packet("MadrixN", 0x5101), Kind::MadrixSyncPre, 0x5101);
        Table::row("madrix post", packet("MadrixN", 0x5202), Kind::MadrixSyncPost, 0x5202);
        Table::row("madrix poll", packet("MadrixN", 0x2000), Kind::Ignored, 0x2000);
    }

    void classify()
    {
        const auto [data, kind, opCode] =
            Table::fetch<QByteArray, ArtnetPacket::Kind, int>("data", "kind", "opCode");
        const Classified result = ArtnetPacket::classify(data);
        QCOMPARE(result.kind, kind);
        QCOMPARE(int(result.opCode), opCode);
    }

    void parseDmx_data()
    {
        // address: Net and SubUni; -1 when refused
        Table::columns<QByteArray, int, QByteArray>("data", "address", "expected");

        Table::row("full universe", dmx(0xFE, 1, 512, QByteArray(512, 7)), 0x1FE,
                   QByteArray(512, 7));
        // Declared bytes that never arrived read as zero, not as leftovers.
        Table::row("100, 50 sent", dmx(0, 0, 100, QByteArray(50, 5)), 0,
                   QByteArray(50, 5) + zeros(50));
        Table::row("600, 10 sent", dmx(0, 0, 600, QByteArray(10, 5)), 0,
                   QByteArray(10, 5) + zeros(502));
        Table::row("length 0", dmx(0, 0, 0, QByteArray(10, 5)), 0, QByteArray());
        Table::row("header only", dmx(3, 2, 8, {}), 0x203, zeros(8));
        Table::row("no length field", dmx(3, 2, 8, {}).left(17), -1, QByteArray());
    }

    void parseDmx()
    {
        const auto [data, address, expected] =
            Table::fetch<QByteArray, int, QByteArray>("data", "address", "expected");
        DmxFrame frame;
        frame.data.fill(0xAA);
        QCOMPARE(ArtnetPacket::parseDmx(data, frame), address >= 0);
        if (address < 0)
            return;
        QCOMPARE(frame.net << 8 | frame.subUni, address);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(frame.data.data()), frame.length),
                 expected);
    }
};

QTEST_GUILESS_MAIN(TestArtnetPackets)
#include "tst_artnetpackets.moc"
