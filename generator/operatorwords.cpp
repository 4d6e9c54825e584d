#include "operatorwords.h"

#include <QCoreApplication>

namespace
{
QString tr(const char *text)
{
    return QCoreApplication::translate("Orvello", text);
}

QString clockText(int hour, int minute, int second)
{
    return QStringLiteral("%1:%2:%3")
        .arg(hour, 2, 10, QLatin1Char('0'))
        .arg(minute, 2, 10, QLatin1Char('0'))
        .arg(second, 2, 10, QLatin1Char('0'));
}
} // namespace

namespace OperatorWords
{
QString state(const TransportState &transport)
{
    switch (transport.run()) {
    case TransportState::Run::Frozen:
        return tr("FROZEN");
    case TransportState::Run::Paused:
        return tr("PAUSED");
    case TransportState::Run::Running:
        break;
    }
    return tr("RUNNING");
}

QString source(const TransportState &transport)
{
    switch (transport.source) {
    case TransportState::Source::SystemTime:
        return tr("System time");
    case TransportState::Source::Place: {
        const SettingStructItem &r = transport.range;
        const QString start = clockText(r.StartHour, r.StartMinute, r.StartSecond);
        // Two blanks keep the number apart from the codes when read from afar.
        if (r.hasEndCode())
            return tr("Place %1  %2 to %3")
                .arg(transport.place + 1)
                .arg(start, clockText(r.EndHour, r.EndMinute, r.EndSecond));
        return tr("Place %1  from %2").arg(transport.place + 1).arg(start);
    }
    case TransportState::Source::Follow:
        return tr("Following");
    case TransportState::Source::None:
        break;
    }
    return tr("No place");
}

QString format(int format)
{
    switch (format) {
    case Frame25:
        return tr("25 fps");
    case Frame30Drop:
        return tr("30 drop");
    case Frame30:
        return tr("30 fps");
    default:
        // The calculator's own format when none valid was handed to it.
        return tr("24 fps");
    }
}
} // namespace OperatorWords
