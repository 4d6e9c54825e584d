#include "remotestatus.h"

#include "oscmessages.h"
#include "remotecommands.h"
#include "transportwords.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

QByteArray RemoteStatus::json() const
{
    QJsonArray factList;
    for (const StatusFact &fact : facts)
        factList.append(QJsonObject{{QStringLiteral("text"), fact.text},
                                    {QStringLiteral("error"), fact.failure}});
    const auto quoted = [](const QString &text) {
        // A one-element array gives QJson's escaping; the brackets go.
        const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
        return array.mid(1, array.size() - 2);
    };
    // Written in the order the fields are documented; QJsonObject would sort them.
    return QByteArrayLiteral("{\"timecode\":\"") + OscMessages::codeText(code).toLatin1() +
           QByteArrayLiteral("\",\"format\":") + QByteArray::number(format) +
           QByteArrayLiteral(",\"state\":") + quoted(TransportWords::state(paused, frozen)) +
           QByteArrayLiteral(",\"source\":") + quoted(TransportWords::source(place)) +
           QByteArrayLiteral(",\"facts\":") +
           QJsonDocument(factList).toJson(QJsonDocument::Compact) + '}';
}

QByteArray RemoteStatus::codeJson(const TimeCode &code)
{
    return QByteArrayLiteral("{\"timecode\":\"") + OscMessages::codeText(code).toLatin1() +
           QByteArrayLiteral("\"}");
}

RemoteStatus RemoteStatus::after(const GeneratorCommand &command) const
{
    RemoteStatus next = *this;
    switch (command.kind) {
    case GeneratorCommand::Play:
        next.paused = false;
        break;
    case GeneratorCommand::Pause:
        next.paused = true;
        break;
    case GeneratorCommand::PlayPause:
        next.paused = !paused;
        break;
    case GeneratorCommand::Freeze:
        next.frozen = !frozen;
        break;
    case GeneratorCommand::Reset:
        // The counter goes back to the start code; the source stays what it
        // was, as the window and the console say.
        break;
    case GeneratorCommand::Place:
        next.place = command.value;
        next.paused = false;
        break;
    case GeneratorCommand::Format:
        next.format = command.value;
        break;
    case GeneratorCommand::Playlist:
        break;
    }
    return next;
}

namespace RemoteJson
{
Parsed command(const QByteArray &body)
{
    Parsed parsed;
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        parsed.error = QStringLiteral("the body is not a JSON object");
        return parsed;
    }
    const QJsonObject object = document.object();
    const QJsonValue name = object.value(QStringLiteral("command"));
    if (!name.isString()) {
        parsed.error = QStringLiteral("\"command\" is missing or not a text");
        return parsed;
    }
    std::optional<double> value;
    if (object.contains(QStringLiteral("value"))) {
        const QJsonValue v = object.value(QStringLiteral("value"));
        if (!v.isDouble()) {
            parsed.error = QStringLiteral("\"value\" is not a number");
            return parsed;
        }
        value = v.toDouble();
    }
    const RemoteCommands::Outcome outcome = RemoteCommands::interpret(name.toString(), value);
    if (outcome.verdict == RemoteCommands::Outcome::Refuse) {
        parsed.error = outcome.reason;
        return parsed;
    }
    parsed.ok = true;
    parsed.command = outcome.command;
    parsed.release = outcome.verdict == RemoteCommands::Outcome::Release;
    return parsed;
}

bool authorised(const QString &token, const QByteArray &authorization)
{
    if (token.isEmpty())
        return true;
    const QByteArray scheme = QByteArrayLiteral("bearer ");
    if (authorization.size() <= scheme.size() ||
        authorization.left(scheme.size()).toLower() != scheme)
        return false;
    const QByteArray given = authorization.mid(scheme.size()).trimmed();
    const QByteArray wanted = token.toUtf8();
    // Every byte is looked at whatever the first difference, so the time
    // taken tells nothing about how much of a guess was right.
    unsigned diff = unsigned(given.size() ^ wanted.size());
    for (qsizetype i = 0; i < wanted.size(); ++i)
        diff |= unsigned(quint8(wanted.at(i)) ^ quint8(i < given.size() ? given.at(i) : 0));
    return diff == 0;
}
} // namespace RemoteJson
