#pragma once

#include "generatorcommand.h"
#include "statusfacts.h"
#include "timecode.h"

#include <QByteArray>
#include <QList>
#include <QString>

// What the remotes report: the code that went out last, the transport and
// the status facts, with the JSON the web page and its clients read.
struct RemoteStatus {
    TimeCode code;
    int format = Frame24;
    bool paused = true;
    bool frozen = false;
    int place = -1; // the calculator's numbering; -1 none
    QList<StatusFact> facts;

    // {"timecode":"hh:mm:ss:ff","format":1,"state":"running","source":"place 3",
    //  "facts":[{"text":"...","error":false}]}
    QByteArray json() const;
    // {"timecode":"hh:mm:ss:ff"}: what the page gets on a frame.
    static QByteArray codeJson(const TimeCode &code);

    // The status a command leads to, so a command's answer can carry it
    // before the calculator's own report arrives: play and pause set the
    // pause (a frozen code stays frozen), a place runs from its start, a
    // reset leaves no place selected.
    RemoteStatus after(const GeneratorCommand &command) const;
};

namespace RemoteJson
{
struct Parsed {
    bool ok = false;
    GeneratorCommand command;
    bool release = false; // a command without a value sent with value 0
    QString error;
};
// {"command":"place","value":3}; anything else is an error for a 400.
Parsed command(const QByteArray &body);

// True when `authorization` ("Bearer <token>") carries `token`; always
// true when no token is set. Compared in constant time.
bool authorised(const QString &token, const QByteArray &authorization);
} // namespace RemoteJson
