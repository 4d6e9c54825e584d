#include "artnetpackets.h"

#include <QtTest>

using namespace ArtnetPacket;

Q_DECLARE_METATYPE(ArtnetPacket::Kind)

namespace
{
QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

// A datagram starting with an 8-byte ID and a little-endian OpCode, padded
// with zeros to `size`.
QByteArray datagram(const QByteArray &id, quint16 opCode, int size)
{
    QByteArray out = id + bytes({opCode & 0xFF, opCode >> 8});
    out.resize(size, '\0');
    return out.left(size);
}

const QByteArray ArtNet("Art-Net\0", 8);
const QByteArray Madrix("MadrixN\0", 8);

QByteArray dmx(quint8 subUni, quint8 net, int declaredLength, int dataBytes, quint8 value)
{
    QByteArray out = datagram(ArtNet, 0x5000, 14);
    out += bytes({subUni, net, declaredLength >> 8, declaredLength & 0xFF});
    out += QByteArray(dataBytes, char(value));
    return out;
}

QByteArray field(const QByteArray &packet, int offset, int size)
{
    return packet.mid(offset, size);
}
} // namespace

class TestArtnetPackets : public QObject
{
    Q_OBJECT
private slots:
    void timeCodeBytes_data();
    void timeCodeBytes();
    void pollReplyLayout_data();
    void pollReplyLayout();
    void pollReplyNames_data();
    void pollReplyNames();
    void macFromText_data();
    void macFromText();
    void classify_data();
    void classify();
    void parseDmx_data();
    void parseDmx();
};

void TestArtnetPackets::timeCodeBytes_data()
{
    QTest::addColumn<QByteArray>("code"); // hour, minute, seconds, frame, type
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("01:02:03:04 @25")
        << bytes({1, 2, 3, 4, 1})
        << ArtNet + bytes({0x00, 0x97, 0x00, 0x0E, 0x00, 0x00, 0x04, 0x03, 0x02, 0x01, 0x01, 0x00});
    QTest::newRow("23:59:59:29 @30")
        << bytes({23, 59, 59, 29, 3})
        << ArtNet + bytes({0x00, 0x97, 0x00, 0x0E, 0x00, 0x00, 29, 59, 59, 23, 3, 0x00});
    // Values are passed on as they come, even when no receiver could use them.
    QTest::newRow("unchecked") << bytes({99, 200, 255, 254, 7})
                               << ArtNet + bytes({0x00, 0x97, 0x00, 0x0E, 0x00, 0x00, 254, 255, 200,
                                                  99, 7, 0x00});
}

void TestArtnetPackets::timeCodeBytes()
{
    QFETCH(QByteArray, code);
    QFETCH(QByteArray, expected);
    const QByteArray packet = timeCode(quint8(code[0]), quint8(code[1]), quint8(code[2]),
                                       quint8(code[3]), quint8(code[4]));
    QCOMPARE(packet.size(), 20);
    QCOMPARE(packet, expected);
}

void TestArtnetPackets::pollReplyLayout_data()
{
    QTest::addColumn<bool>("hasPort");
    QTest::addColumn<int>("numPortsLo");
    QTest::addColumn<int>("swOut");
    QTest::newRow("no dmx input") << false << 0 << 0;
    QTest::newRow("dmx input started") << true << 1 << 0xFF;
}

void TestArtnetPackets::pollReplyLayout()
{
    QFETCH(bool, hasPort);
    QFETCH(int, numPortsLo);
    QFETCH(int, swOut);

    PollReplyInfo info;
    info.ip = 0xC0A8010A; // 192.168.1.10
    info.mac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    info.versInfoH = 2;
    info.versInfoL = 0;
    info.oemHi = 0x0C;
    info.oemLo = 0x11;
    info.shortName = QStringLiteral("Orvello");
    info.longName = QStringLiteral("Orvello v2.0.0.1 by www.orvello.example");
    info.hasOutputPort = hasPort;
    info.swOut = 0xFF;
    const QByteArray p = pollReply(info);

    QCOMPARE(p.size(), 240);
    QCOMPARE(field(p, 0, 10), ArtNet + bytes({0x00, 0x21}));
    QCOMPARE(field(p, 10, 4), bytes({192, 168, 1, 10}));
    QCOMPARE(field(p, 14, 2), bytes({0x36, 0x19}));
    QCOMPARE(field(p, 16, 10), bytes({2, 0, 0, 0, 0x0C, 0x11, 0, 0, 0, 0}));
    QCOMPARE(field(p, 26, 18), QByteArray("Orvello").leftJustified(18, '\0'));
    QCOMPARE(field(p, 44, 64),
             QByteArray("Orvello v2.0.0.1 by www.orvello.example").leftJustified(64, '\0'));
    QCOMPARE(field(p, 108, 64), QByteArray(64, '\0'));
    QCOMPARE(field(p, 172, 2), bytes({0, numPortsLo}));
    QCOMPARE(field(p, 174, 4), QByteArray(4, char(0x85)));
    QCOMPARE(field(p, 178, 4), QByteArray(4, '\0'));
    QCOMPARE(field(p, 182, 4), QByteArray(4, char(0x80)));
    QCOMPARE(field(p, 186, 4), QByteArray(4, '\0'));
    QCOMPARE(field(p, 190, 4), bytes({swOut, 0, 0, 0}));
    QCOMPARE(field(p, 194, 7), QByteArray(7, '\0')); // SwVideo .. Style
    QCOMPARE(field(p, 201, 6), bytes({0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}));
    QCOMPARE(field(p, 207, 33), QByteArray(33, '\0')); // BindIp .. pad
}

void TestArtnetPackets::pollReplyNames_data()
{
    QTest::addColumn<QString>("shortName");
    QTest::addColumn<QString>("longName");
    QTest::addColumn<QByteArray>("shortField");
    QTest::addColumn<QByteArray>("longField");

    const QString s20 = QStringLiteral("ABCDEFGHIJKLMNOPQRST");
    QTest::newRow("short 20 cut at 17")
        << s20 << QString() << QByteArray("ABCDEFGHIJKLMNOPQ").leftJustified(18, '\0')
        << QByteArray(64, '\0');
    QTest::newRow("short exactly 17")
        << s20.left(17) << QString() << QByteArray("ABCDEFGHIJKLMNOPQ").leftJustified(18, '\0')
        << QByteArray(64, '\0');
    QTest::newRow("long 63 kept") << QString() << QString(63, QLatin1Char('x'))
                                  << QByteArray(18, '\0') << QByteArray(63, 'x') + '\0';
    QTest::newRow("long 100 cut at 63") << QString() << QString(100, QLatin1Char('y'))
                                        << QByteArray(18, '\0') << QByteArray(63, 'y') + '\0';
    QTest::newRow("latin-1 text") << QStringLiteral("Bühne") << QString()
                                  << QByteArray("B\xfchne").leftJustified(18, '\0')
                                  << QByteArray(64, '\0');
}

void TestArtnetPackets::pollReplyNames()
{
    QFETCH(QString, shortName);
    QFETCH(QString, longName);
    PollReplyInfo info;
    info.shortName = shortName;
    info.longName = longName;
    const QByteArray p = pollReply(info);
    QFETCH(QByteArray, shortField);
    QFETCH(QByteArray, longField);
    QCOMPARE(field(p, 26, 18), shortField);
    QCOMPARE(field(p, 44, 64), longField);
    QCOMPARE(field(p, 108, 64), QByteArray(64, '\0'));
}

void TestArtnetPackets::macFromText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("mac");

    QTest::newRow("upper case") << "00:1A:2B:3C:4D:5E"
                                << bytes({0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E});
    QTest::newRow("all ones") << "FF:FF:FF:FF:FF:FF" << QByteArray(6, char(0xFF));
    // Lower-case letters are not hexadecimal digits here: they add nothing.
    QTest::newRow("lower case") << "00:1a:2b:3c:4d:5e"
                                << bytes({0x00, 0x01, 0x02, 0x03, 0x04, 0x05});
    QTest::newRow("empty") << "" << QByteArray(6, '\0');
    QTest::newRow("none reported") << "00:00:00:00:00:00" << QByteArray(6, '\0');
    // Pairs are taken from the text with the colons removed, not per group.
    QTest::newRow("short groups") << "1:2:3" << bytes({0x12, 0x03, 0, 0, 0, 0});
    QTest::newRow("odd length") << "ABC" << bytes({0xAB, 0x0C, 0, 0, 0, 0});
    QTest::newRow("foreign characters") << "G1:-2:3x" << bytes({0x01, 0x02, 0x03, 0, 0, 0});
    QTest::newRow("longer than six bytes")
        << "01:02:03:04:05:06:07:08" << bytes({0x01, 0x02, 0x03, 0x04, 0x05, 0x06});
}

void TestArtnetPackets::macFromText()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, mac);
    const auto result = ArtnetPacket::macFromText(text);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(result.data()), 6), mac);
}

void TestArtnetPackets::classify_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<ArtnetPacket::Kind>("kind");
    QTest::addColumn<int>("opCode");

    QTest::newRow("empty") << QByteArray() << Kind::Ignored << 0;
    QTest::newRow("12-byte poll") << datagram(ArtNet, 0x2000, 12) << Kind::Ignored << 0;
    QTest::newRow("13-byte poll") << datagram(ArtNet, 0x2000, 13) << Kind::Poll << 0x2000;
    QTest::newRow("14-byte poll") << datagram(ArtNet, 0x2000, 14) << Kind::Poll << 0x2000;
    QTest::newRow("poll reply") << datagram(ArtNet, 0x2100, 240) << Kind::PollReply << 0x2100;
    QTest::newRow("dmx") << datagram(ArtNet, 0x5000, 530) << Kind::Dmx << 0x5000;
    QTest::newRow("sync") << datagram(ArtNet, 0x5200, 14) << Kind::Sync << 0x5200;
    QTest::newRow("sync pre") << datagram(ArtNet, 0x5101, 14) << Kind::SyncPre << 0x5101;
    QTest::newRow("sync post") << datagram(ArtNet, 0x5202, 14) << Kind::SyncPost << 0x5202;
    QTest::newRow("timecode") << datagram(ArtNet, 0x9700, 20) << Kind::TimeCode << 0x9700;
    QTest::newRow("unknown") << datagram(ArtNet, 0x2400, 20) << Kind::UnknownOpCode << 0x2400;
    // OpCode is little-endian: bytes 0x97 0x00 are 0x0097, not ArtTimeCode.
    QTest::newRow("big-endian opcode")
        << ArtNet + bytes({0x97, 0x00, 0, 14, 0}) << Kind::UnknownOpCode << 0x0097;
    QTest::newRow("nonzero 8th byte")
        << datagram(QByteArray("Art-Net\x01", 8), 0x2000, 14) << Kind::Ignored << 0;
    QTest::newRow("Art-Net with blank")
        << datagram(QByteArray("Art-Net ", 8), 0x2000, 14) << Kind::Ignored << 0;
    QTest::newRow("foreign id") << datagram(QByteArray("ART-NET\0", 8), 0x2000, 14) << Kind::Ignored
                                << 0;
    QTest::newRow("madrix sync pre")
        << datagram(Madrix, 0x5101, 14) << Kind::MadrixSyncPre << 0x5101;
    QTest::newRow("madrix sync post")
        << datagram(Madrix, 0x5202, 14) << Kind::MadrixSyncPost << 0x5202;
    QTest::newRow("madrix poll") << datagram(Madrix, 0x2000, 14) << Kind::Ignored << 0x2000;
    QTest::newRow("madrix unknown") << datagram(Madrix, 0x2400, 14) << Kind::Ignored << 0x2400;
    QTest::newRow("madrix 12 bytes") << datagram(Madrix, 0x5101, 12) << Kind::Ignored << 0;
}

void TestArtnetPackets::classify()
{
    QFETCH(QByteArray, data);
    QFETCH(ArtnetPacket::Kind, kind);
    QFETCH(int, opCode);
    const Classified result = ArtnetPacket::classify(data);
    QCOMPARE(result.kind, kind);
    QCOMPARE(int(result.opCode), opCode);
}

void TestArtnetPackets::parseDmx_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("parsed");
    QTest::addColumn<int>("subUni");
    QTest::addColumn<int>("net");
    QTest::addColumn<int>("length");
    QTest::addColumn<QByteArray>("expected"); // the first `length` data bytes

    QTest::newRow("four channels")
        << dmx(0x12, 0, 4, 4, 0xFF) << true << 0x12 << 0 << 4 << QByteArray(4, char(0xFF));
    QTest::newRow("full universe")
        << dmx(0xFF, 1, 512, 512, 7) << true << 0xFF << 1 << 512 << QByteArray(512, 7);
    QTest::newRow("length 600, 600 sent")
        << dmx(0, 0, 600, 600, 9) << true << 0 << 0 << 512 << QByteArray(512, 9);
    QTest::newRow("length 600, 512 sent")
        << dmx(0, 0, 600, 512, 9) << true << 0 << 0 << 512 << QByteArray(512, 9);
    // Declared bytes that never arrived read as zero instead of whatever
    // follows the datagram in memory.
    QTest::newRow("length 100, 50 sent") << dmx(0, 0, 100, 50, 5) << true << 0 << 0 << 100
                                         << QByteArray(50, 5) + QByteArray(50, '\0');
    QTest::newRow("length 600, 10 sent") << dmx(0, 0, 600, 10, 5) << true << 0 << 0 << 512
                                         << QByteArray(10, 5) + QByteArray(502, '\0');
    QTest::newRow("length 0") << dmx(0, 0, 0, 10, 5) << true << 0 << 0 << 0 << QByteArray();
    QTest::newRow("header only") << dmx(3, 2, 8, 0, 0) << true << 3 << 2 << 8
                                 << QByteArray(8, '\0');
    QTest::newRow("no length field")
        << dmx(3, 2, 8, 0, 0).left(17) << false << 0 << 0 << 0 << QByteArray();
    QTest::newRow("13 bytes") << dmx(3, 2, 8, 0, 0).left(13) << false << 0 << 0 << 0
                              << QByteArray();
}

void TestArtnetPackets::parseDmx()
{
    QFETCH(QByteArray, data);
    QFETCH(bool, parsed);
    QFETCH(int, subUni);
    QFETCH(int, net);
    QFETCH(int, length);
    QFETCH(QByteArray, expected);

    DmxFrame frame;
    frame.data.fill(0xAA); // leftovers must not survive a parse
    QCOMPARE(ArtnetPacket::parseDmx(data, frame), parsed);
    if (!parsed)
        return;
    QCOMPARE(int(frame.subUni), subUni);
    QCOMPARE(int(frame.net), net);
    QCOMPARE(int(frame.length), length);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(frame.data.data()), length), expected);
}

QTEST_GUILESS_MAIN(TestArtnetPackets)
#include "tst_artnetpackets.moc"
