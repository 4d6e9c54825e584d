#pragma once

#include "timecode.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <array>

// Art-Net wire formats as pure functions over bytes. Everything the node sends
// is built here into a zero-filled buffer at named offsets, and everything it
// reads is parsed here with a size check before every read, so no received
// datagram is ever read past its end.
namespace ArtnetPacket
{
constexpr quint16 Port = 6454; // 0x1936

// Every datagram of ours, and every one we look at, is at least this long;
// anything shorter is dropped unseen, whatever it starts with.
constexpr int MinimumReceived = 13;

constexpr quint16 OpPoll = 0x2000;
constexpr quint16 OpPollReply = 0x2100;
constexpr quint16 OpDmx = 0x5000;
constexpr quint16 OpSync = 0x5200;
constexpr quint16 OpSyncPre = 0x5101;  // an outside lighting product's own sync
constexpr quint16 OpSyncPost = 0x5202; // pair, sent with either identifier
constexpr quint16 OpTimeCode = 0x9700;

constexpr int TimeCodeSize = 20;   // 19 bytes of fields and a zero pad
constexpr int PollReplySize = 240; // 239 bytes of fields and a zero pad
constexpr int DmxHeaderSize = 18;
constexpr int DmxMaxData = 512;
constexpr int MacSize = 6;

enum class Id { None, ArtNet, MadrixN };

// What a received datagram is, decided by its size, its whole 8-byte ID and
// its OpCode only.
enum class Kind {
    Ignored, // too short, foreign ID, or an unknown OpCode of the product ID
    Poll,
    PollReply,
    Dmx,
    Sync,
    SyncPre,        // 0x5101 with the Art-Net ID
    SyncPost,       // 0x5202 with the Art-Net ID
    MadrixSyncPre,  // 0x5101 with the product ID
    MadrixSyncPost, // 0x5202 with the product ID
    TimeCode,
    UnknownOpCode, // Art-Net ID with an OpCode we do not handle
};

struct Classified {
    Kind kind = Kind::Ignored;
    Id id = Id::None;
    quint16 opCode = 0;
};

Classified classify(const QByteArray &datagram);

// ArtTimeCode for one code value; the five values go out unchecked.
// `streamId` tells a receiver of several streams which one this is; 0 is
// the master stream. The array form is built on the stack, for the
// per-frame path.
using TimeCodeBytes = std::array<quint8, TimeCodeSize>;
TimeCodeBytes timeCodeBytes(quint8 hour, quint8 minute, quint8 seconds, quint8 frame, quint8 type,
                            quint8 streamId = 0);
QByteArray timeCode(quint8 hour, quint8 minute, quint8 seconds, quint8 frame, quint8 type,
                    quint8 streamId = 0);

// What the node tells a poller about itself.
struct PollReplyInfo {
    quint32 ip = 0;
    std::array<quint8, MacSize> mac{};
    quint8 versInfoH = 0;
    quint8 versInfoL = 0;
    quint8 oemHi = 0;
    quint8 oemLo = 0;
    QString shortName;
    QString longName;
    QString nodeReport;
    bool hasOutputPort = false; // one DMX port once remote control input runs
    quint16 portAddress = 0;    // that port's 15-bit port-address: Net, Sub-Net, Universe
};

QByteArray pollReply(const PollReplyInfo &info);

// Hardware address text "00:1A:2B:3C:4D:5E" to six bytes. Only digits and
// upper-case A-F count; any other character adds nothing to its byte.
std::array<quint8, MacSize> macFromText(const QString &text);

// Received ArtDmx of one universe. Data past the declared length is never
// looked at; declared bytes that did not arrive read as zero.
struct DmxFrame {
    quint8 subUni = 0;
    quint8 net = 0;
    quint16 length = 0; // declared Length, capped at 512
    std::array<quint8, DmxMaxData> data{};
};

// False when the datagram is too short to hold the ArtDmx header.
bool parseDmx(const QByteArray &datagram, DmxFrame &frame);

// A received ArtTimeCode that another node means to be followed. False, and
// `code` untouched, when the datagram is not a whole ArtTimeCode or a field
// holds what no clock can show: Type above 3, hours above 23, minutes or
// seconds above 59, or a frame the Type's rate does not have.
bool parseTimeCode(const QByteArray &datagram, TimeCode &code);
} // namespace ArtnetPacket
