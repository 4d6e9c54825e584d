#include "artnetpackets.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace ArtnetPacket
{
namespace
{
// Both identifiers are seven characters and a zero byte, compared whole.
constexpr char ArtNetId[8] = {'A', 'r', 't', '-', 'N', 'e', 't', '\0'};
constexpr char MadrixId[8] = {'M', 'a', 'd', 'r', 'i', 'x', 'N', '\0'};
constexpr int IdSize = 8;
constexpr int OpCodeOffset = 8;
constexpr quint8 ProtVer = 14;

// ArtTimeCode offsets
constexpr int TcProtVerHi = 10;
constexpr int TcProtVerLo = 11;
constexpr int TcStreamId = 13;
constexpr int TcFrames = 14;
constexpr int TcSeconds = 15;
constexpr int TcMinutes = 16;
constexpr int TcHours = 17;
constexpr int TcType = 18;
constexpr int TcFields = 19; // what a sender must deliver; the pad may be missing

// ArtPollReply offsets
constexpr int PrIpAddress = 10; // 4 bytes, most significant first
constexpr int PrPort = 14;      // little-endian
constexpr int PrVersInfoH = 16;
constexpr int PrVersInfoL = 17;
constexpr int PrNetSwitch = 18;
constexpr int PrSubSwitch = 19;
constexpr int PrOemHi = 20;
constexpr int PrOemLo = 21;
constexpr int PrShortName = 26;
constexpr int ShortNameSize = 18;
constexpr int PrLongName = 44;
constexpr int LongNameSize = 64;
constexpr int PrNodeReport = 108;
constexpr int NodeReportSize = 64;
constexpr int PrNumPortsLo = 173;
constexpr int PrPortTypes = 174;
constexpr int PrGoodOutput = 182;
constexpr int PrSwOut = 190;
constexpr int PrMac = 201;
constexpr int PortFields = 4;
constexpr quint8 PortTypeArtNetOutput = 0x85; // can output from Art-Net, protocol Art-Net
constexpr quint8 GoodOutputTransmitting = 0x80;

// ArtDmx offsets
constexpr int DmxSubUni = 14;
constexpr int DmxNet = 15;
constexpr int DmxLength = 16; // big-endian, LengthHi first

quint8 byteAt(const QByteArray &data, int offset)
{
    return static_cast<quint8>(data.at(offset));
}

void putByte(QByteArray &data, int offset, quint8 value)
{
    data[offset] = static_cast<char>(value);
}

void putLittleEndian16(QByteArray &data, int offset, quint16 value)
{
    putByte(data, offset, value & 0xFF);
    putByte(data, offset + 1, value >> 8);
}

void putBigEndian32(QByteArray &data, int offset, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        putByte(data, offset + i, (value >> (24 - 8 * i)) & 0xFF);
}

// The field stays zero-terminated: at most size-1 characters are copied into
// the zero-filled buffer.
void putText(QByteArray &data, int offset, int size, const QString &text)
{
    const QByteArray bytes = text.toLatin1().left(size - 1);
    std::memcpy(data.data() + offset, bytes.constData(), bytes.size());
}

QByteArray header(int size, quint16 opCode)
{
    QByteArray data(size, '\0');
    std::memcpy(data.data(), ArtNetId, IdSize);
    putLittleEndian16(data, OpCodeOffset, opCode);
    return data;
}

Id idOf(const QByteArray &datagram)
{
    if (datagram.size() < IdSize)
        return Id::None;
    if (std::memcmp(datagram.constData(), ArtNetId, IdSize) == 0)
        return Id::ArtNet;
    if (std::memcmp(datagram.constData(), MadrixId, IdSize) == 0)
        return Id::MadrixN;
    return Id::None;
}

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}
} // namespace

Classified classify(const QByteArray &datagram)
{
    Classified result;
    if (datagram.size() < MinimumReceived)
        return result;
    result.id = idOf(datagram);
    if (result.id == Id::None)
        return result;
    result.opCode =
        quint16(byteAt(datagram, OpCodeOffset) | (byteAt(datagram, OpCodeOffset + 1) << 8));

    if (result.id == Id::MadrixN) {
        if (result.opCode == OpSyncPre)
            result.kind = Kind::MadrixSyncPre;
        else if (result.opCode == OpSyncPost)
            result.kind = Kind::MadrixSyncPost;
        return result;
    }
    // OpCodes of the Art-Net ID that we act on; any other is only reported.
    static constexpr std::pair<quint16, Kind> Known[] = {
        {OpPoll, Kind::Poll},        {OpPollReply, Kind::PollReply}, {OpDmx, Kind::Dmx},
        {OpSync, Kind::Sync},        {OpSyncPre, Kind::SyncPre},     {OpSyncPost, Kind::SyncPost},
        {OpTimeCode, Kind::TimeCode}};
    result.kind = Kind::UnknownOpCode;
    for (const auto &[opCode, kind] : Known)
        if (opCode == result.opCode)
            result.kind = kind;
    return result;
}

TimeCodeBytes timeCodeBytes(quint8 hour, quint8 minute, quint8 seconds, quint8 frame, quint8 type,
                            quint8 streamId)
{
    TimeCodeBytes data{};
    std::memcpy(data.data(), ArtNetId, IdSize);
    data[OpCodeOffset] = OpTimeCode & 0xFF;
    data[OpCodeOffset + 1] = OpTimeCode >> 8;
    data[TcProtVerHi] = 0;
    data[TcProtVerLo] = ProtVer;
    data[TcStreamId] = streamId;
    data[TcFrames] = frame;
    data[TcSeconds] = seconds;
    data[TcMinutes] = minute;
    data[TcHours] = hour;
    data[TcType] = type;
    return data;
}

QByteArray timeCode(quint8 hour, quint8 minute, quint8 seconds, quint8 frame, quint8 type,
                    quint8 streamId)
{
    const TimeCodeBytes data = timeCodeBytes(hour, minute, seconds, frame, type, streamId);
    return QByteArray(reinterpret_cast<const char *>(data.data()), TimeCodeSize);
}

QByteArray pollReply(const PollReplyInfo &info)
{
    QByteArray data = header(PollReplySize, OpPollReply);
    putBigEndian32(data, PrIpAddress, info.ip);
    putLittleEndian16(data, PrPort, Port);
    putByte(data, PrVersInfoH, info.versInfoH);
    putByte(data, PrVersInfoL, info.versInfoL);
    putByte(data, PrOemHi, info.oemHi);
    putByte(data, PrOemLo, info.oemLo);
    putText(data, PrShortName, ShortNameSize, info.shortName);
    putText(data, PrLongName, LongNameSize, info.longName);
    putText(data, PrNodeReport, NodeReportSize, info.nodeReport);
    putByte(data, PrNumPortsLo, info.hasOutputPort ? 1 : 0);
    // Port types and good-output describe all four ports whether or not any
    // is advertised; receivers look at NumPorts first.
    for (int i = 0; i < PortFields; ++i) {
        putByte(data, PrPortTypes + i, PortTypeArtNetOutput);
        putByte(data, PrGoodOutput + i, GoodOutputTransmitting);
    }
    if (info.hasOutputPort) {
        // A console addresses the port as NetSwitch:SubSwitch:SwOut low
        // nibble. SwOut keeps the whole low byte, so a receiver that reads
        // only SwOut still sees the universe it always saw.
        putByte(data, PrNetSwitch, (info.portAddress >> 8) & 0x7F);
        putByte(data, PrSubSwitch, (info.portAddress >> 4) & 0x0F);
        putByte(data, PrSwOut, info.portAddress & 0xFF);
    }
    for (int i = 0; i < MacSize; ++i)
        putByte(data, PrMac + i, info.mac[i]);
    return data;
}

std::array<quint8, MacSize> macFromText(const QString &text)
{
    std::array<quint8, MacSize> mac{};
    QString digits = text;
    digits.remove(QLatin1Char(':'));
    for (int k = 0; k < MacSize; ++k) {
        for (int pos = 2 * k; pos <= 2 * k + 1 && pos < digits.size(); ++pos) {
            const int value = hexDigit(digits.at(pos));
            if (value >= 0)
                mac[k] = quint8((mac[k] << 4) + value);
        }
    }
    return mac;
}

bool parseDmx(const QByteArray &datagram, DmxFrame &frame)
{
    if (datagram.size() < DmxHeaderSize)
        return false;
    frame.subUni = byteAt(datagram, DmxSubUni);
    frame.net = byteAt(datagram, DmxNet);
    const int declared = (byteAt(datagram, DmxLength) << 8) | byteAt(datagram, DmxLength + 1);
    frame.length = quint16(std::min(declared, DmxMaxData));
    const int received = std::min<int>(frame.length, datagram.size() - DmxHeaderSize);
    frame.data.fill(0);
    std::memcpy(frame.data.data(), datagram.constData() + DmxHeaderSize, received);
    return true;
}

bool parseTimeCode(const QByteArray &datagram, TimeCode &code)
{
    if (datagram.size() < TcFields || idOf(datagram) != Id::ArtNet ||
        byteAt(datagram, OpCodeOffset) != (OpTimeCode & 0xFF) ||
        byteAt(datagram, OpCodeOffset + 1) != (OpTimeCode >> 8))
        return false;
    const TimeCode received = TimeCode::make(byteAt(datagram, TcHours), byteAt(datagram, TcMinutes),
                                             byteAt(datagram, TcSeconds),
                                             byteAt(datagram, TcFrames), byteAt(datagram, TcType));
    if (received.Type > Frame30 || received.Hour > 23 || received.Minute > 59 ||
        received.Seconds > 59 ||
        received.Frame >= TimeCodeMath::framesPerSecond(TimeCodeFormat(received.Type)))
        return false;
    code = received;
    return true;
}
} // namespace ArtnetPacket
