#include "oscmessages.h"

#include "remotecommands.h"

#include <lo/lo_lowlevel.h>

#include <memory>
#include <optional>

namespace
{
struct MessageDeleter {
    void operator()(lo_message m) const { lo_message_free(m); }
};
using Message = std::unique_ptr<std::remove_pointer_t<lo_message>, MessageDeleter>;

OscMessages::Request ignored(const QString &why)
{
    OscMessages::Request request;
    request.kind = OscMessages::Request::Ignored;
    request.text = why;
    return request;
}

QByteArray serialise(lo_message message, const char *path)
{
    size_t size = lo_message_length(message, path);
    QByteArray bytes(qsizetype(size), Qt::Uninitialized);
    if (!lo_message_serialise(message, path, bytes.data(), &size))
        return {};
    bytes.truncate(qsizetype(size));
    return bytes;
}
} // namespace

namespace OscMessages
{
Request interpret(const QByteArray &datagram)
{
    if (datagram.size() > MaxDatagram)
        return ignored(QStringLiteral("oversized datagram of %1 bytes").arg(datagram.size()));
    if (datagram.startsWith(QByteArrayLiteral("#bundle")))
        return ignored(QStringLiteral("bundle"));
    // OSC packets come in whole 4-byte words; liblo checks the rest.
    if (datagram.size() < 8 || datagram.size() % 4 != 0)
        return ignored(QStringLiteral("truncated datagram of %1 bytes").arg(datagram.size()));
    // liblo wants a writable buffer; the datagram stays as it arrived.
    QByteArray copy(datagram.constData(), datagram.size());
    int result = 0;
    const Message message(lo_message_deserialise(copy.data(), size_t(copy.size()), &result));
    if (!message)
        return ignored(QStringLiteral("malformed OSC message (liblo error %1)").arg(result));

    // Deserialising checked that the address is a terminated, padded string.
    const QString address = QString::fromLatin1(copy.constData());
    const QString types = QString::fromLatin1(lo_message_get_types(message.get()));
    const QString text = types.isEmpty() ? address : address + QLatin1Char(' ') + types;
    if (!address.startsWith(QLatin1String(Prefix)))
        return ignored(QStringLiteral("unknown address %1").arg(address));
    const QString name = address.mid(int(sizeof(Prefix)) - 1);
    if (types.size() > 1)
        return ignored(QStringLiteral("too many arguments: %1").arg(text));

    std::optional<double> value;
    if (types.size() == 1) {
        const lo_type type = lo_type(types.at(0).toLatin1());
        if (type != LO_INT32 && type != LO_FLOAT && type != LO_INT64 && type != LO_DOUBLE)
            return ignored(QStringLiteral("wrong argument type: %1").arg(text));
        value = double(lo_hires_val(type, lo_message_get_argv(message.get())[0]));
    }
    const QString shown = value ? address + QLatin1Char(' ') + QString::number(*value) : address;

    if (name == QLatin1String("subscribe")) {
        Request request;
        request.kind = Request::Subscribe;
        request.text = shown;
        if (value) {
            if (*value != double(qint64(*value)) || *value < 1 || *value > 65535)
                return ignored(QStringLiteral("bad port: %1").arg(shown));
            request.port = quint16(*value);
        }
        return request;
    }

    const RemoteCommands::Outcome outcome = RemoteCommands::interpret(name, value);
    if (outcome.verdict == RemoteCommands::Outcome::Refuse)
        return ignored(QStringLiteral("%1 (%2)").arg(outcome.reason, shown));
    Request request;
    request.kind =
        outcome.verdict == RemoteCommands::Outcome::Perform ? Request::Command : Request::Release;
    request.command = outcome.command;
    request.text = shown;
    return request;
}

QString codeText(const TimeCode &code)
{
    const auto two = [](quint8 n) {
        return QString::number(n).rightJustified(2, QLatin1Char('0'));
    };
    return two(code.Hour) + QLatin1Char(':') + two(code.Minute) + QLatin1Char(':') +
           two(code.Seconds) + QLatin1Char(':') + two(code.Frame);
}

QByteArray timecode(const TimeCode &code)
{
    const Message message(lo_message_new());
    lo_message_add_string(message.get(), codeText(code).toLatin1().constData());
    lo_message_add_int32(message.get(), code.Type);
    return serialise(message.get(), "/orvello/timecode");
}

QByteArray state(const QString &state, const QString &source)
{
    const Message message(lo_message_new());
    lo_message_add_string(message.get(), state.toUtf8().constData());
    lo_message_add_string(message.get(), source.toUtf8().constData());
    return serialise(message.get(), "/orvello/state");
}
} // namespace OscMessages
