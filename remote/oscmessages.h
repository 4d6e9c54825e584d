#pragma once

#include "generatorcommand.h"
#include "timecode.h"

#include <QByteArray>
#include <QString>

// OSC as this program speaks it: what a received datagram asks for, and the
// two messages it sends to subscribers. Received bytes are taken apart by
// liblo, which checks every length and pad against the datagram's size.
namespace OscMessages
{
// Commands are a few dozen bytes; anything longer is not for us.
constexpr int MaxDatagram = 512;
constexpr char Prefix[] = "/orvello/";

struct Request {
    enum Kind { Command, Subscribe, Release, Ignored };
    Kind kind = Ignored;
    GeneratorCommand command;
    // Subscribe: the port to send to, 0 for the sender's own.
    quint16 port = 0;
    // What arrived, for a log line: "/orvello/place 3", or why it is ignored.
    QString text;
};

Request interpret(const QByteArray &datagram);

// "/orvello/timecode" s "hh:mm:ss:ff" i type
QByteArray timecode(const TimeCode &code);
// "/orvello/state" s state s source
QByteArray state(const QString &state, const QString &source);

// "hh:mm:ss:ff"
QString codeText(const TimeCode &code);
} // namespace OscMessages
