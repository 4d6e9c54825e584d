#include "statusfacts.h"

#include <QCoreApplication>
#include <QHostAddress>

#include <cerrno>
#include <cstring>

namespace
{
QString tr(const char *text)
{
    return QCoreApplication::translate("Orvello", text);
}

QString midiTypeName(quint32 type)
{
    // The labels the settings window uses for the three forms.
    switch (type) {
    case 0:
        return tr("MIDI Clock");
    case 1:
        return tr("MIDI Clock (short)");
    case 2:
        return tr("MIDI Timecode");
    default:
        return tr("unknown type");
    }
}

// A fact of a lead text and a list of parts, some of which may fail. When
// every part fails the whole fact is a failure; when some do, only they are.
StatusFact listFact(StatusFact::Topic topic, const QString &lead,
                    const QList<StatusFact::Segment> &parts, const QString &tail)
{
    StatusFact fact{topic, QString(), false, {}};
    int failing = 0;
    QList<StatusFact::Segment> segments{{lead, false}};
    for (int i = 0; i < parts.size(); ++i) {
        if (i > 0)
            segments.append({QStringLiteral(", "), false});
        segments.append(parts.at(i));
        failing += parts.at(i).failure;
    }
    if (!tail.isEmpty())
        segments.append({tail, false});
    for (const StatusFact::Segment &segment : segments)
        fact.text += segment.text;
    if (failing > 0 && failing == parts.size())
        fact.failure = true;
    else if (failing > 0)
        fact.segments = segments;
    return fact;
}

StatusFact::Segment destinationPart(const ArtnetDestination &destination)
{
    if (destination.error == 0)
        return {tr("%1 (frames sent: %2)").arg(destination.address).arg(destination.framesSent),
                false};
    return {tr("%1: %2 (frames sent: %3)")
                .arg(destination.address, sendErrorText(destination.error))
                .arg(destination.framesSent),
            true};
}

StatusFact artnetFact(bool on, const ArtnetStatus &status)
{
    if (!on)
        return {StatusFact::Artnet, tr("Art-Net: off"), false, {}};
    if (status.portBusy)
        return {StatusFact::Artnet, tr("Art-Net: port 6454 in use by another program"), true, {}};
    if (status.loopbackOnly && status.destinations.size() == 1 &&
        status.destinations.first().error == 0) {
        const QString frames = tr("frames sent: %1").arg(status.destinations.first().framesSent);
        return {StatusFact::Artnet,
                tr("Art-Net: loopback only (no network), %1").arg(frames),
                true,
                {}};
    }
    QList<StatusFact::Segment> parts;
    for (const ArtnetDestination &destination : status.destinations)
        parts.append(destinationPart(destination));
    if (status.loopbackOnly) {
        StatusFact fact = listFact(StatusFact::Artnet, tr("Art-Net: loopback only (no network), "),
                                   parts, QString());
        fact.failure = true;
        fact.segments.clear();
        return fact;
    }
    return listFact(StatusFact::Artnet, tr("Art-Net: to "), parts, QString());
}

StatusFact midiFact(bool on, const MidiStatus &status)
{
    if (!on)
        return {StatusFact::Midi, tr("MIDI: off"), false, {}};
    if (status.noPorts)
        return {StatusFact::Midi, tr("MIDI: no MIDI ports"), true, {}};
    if (!status.failed.isEmpty())
        return {StatusFact::Midi,
                tr("MIDI: cannot open %1").arg(status.failed.join(QStringLiteral(", "))),
                true,
                {}};
    QList<StatusFact::Segment> parts;
    for (const QString &port : status.ports) {
        if (status.rejecting.contains(port))
            parts.append({tr("%1: refuses messages").arg(port), true});
        else
            parts.append({port, false});
    }
    return listFact(StatusFact::Midi, tr("MIDI: to "), parts,
                    QStringLiteral(", ") + midiTypeName(status.type));
}
} // namespace

QString sendErrorText(int error)
{
    switch (error) {
    case ENETUNREACH:
        return tr("network unreachable");
    case EHOSTUNREACH:
        return tr("host unreachable");
    case ENETDOWN:
        return tr("network down");
    case EACCES:
        return tr("broadcast not permitted");
    case EPERM:
        return tr("refused by a firewall rule");
    case ENOBUFS:
    case EAGAIN:
        return tr("send queue full");
    case EADDRNOTAVAIL:
        return tr("address not available");
    default:
        return QString::fromLocal8Bit(std::strerror(error));
    }
}

QList<StatusFact> statusFacts(bool artnetOn, const ArtnetStatus &artnet, bool midiOn,
                              const MidiStatus &midi, const QString &ltc, bool ltcFailure,
                              const QString &store, const StatusFact &remote)
{
    QList<StatusFact> facts{artnetFact(artnetOn, artnet)};
    if (artnetOn && artnet.portShared)
        facts.append({StatusFact::SharedPort,
                      tr("Art-Net: another program listens on port 6454 as well; polls to this "
                         "computer may reach it instead"),
                      true,
                      {}});
    facts.append(midiFact(midiOn, midi));
    if (!ltc.isEmpty())
        facts.append({StatusFact::Ltc, ltc, ltcFailure, {}});
    // A damaged or read-only store stays a failure for the whole run: the
    // operator's settings are not what they expect until someone looks.
    if (!store.isEmpty())
        facts.append({StatusFact::Store, store, true, {}});
    if (!artnet.otherSource.isEmpty())
        facts.append({StatusFact::OtherSource,
                      tr("another timecode source at %1").arg(artnet.otherSource),
                      true,
                      {}});
    if (!remote.text.isEmpty())
        facts.append(remote);
    return facts;
}

QString followText(const FollowStatus &status, const QString &input)
{
    const auto address = [](quint32 ip) { return QHostAddress(ip).toString(); };
    QString what;
    if (input == QLatin1String("mtc"))
        what = tr("following MTC");
    else if (input == QLatin1String("ltc"))
        what = tr("following LTC");
    else if (status.source)
        what = tr("following Art-Net from %1").arg(address(status.source));
    else
        what = tr("following Art-Net");
    QString state;
    switch (status.state) {
    case FollowTracker::State::Locked:
        state = tr("locked");
        break;
    case FollowTracker::State::Freewheel:
        state = tr("freewheeling");
        break;
    case FollowTracker::State::RunOn:
        state = tr("running on");
        break;
    default:
        state = tr("no input");
        break;
    }
    QString text = tr("%1, %2").arg(what, state);
    if (status.standby) {
        if (status.takenOver)
            text = tr("standby, took over: %1").arg(text);
        else if (status.event == FollowTracker::Event::PrimaryBack)
            text = tr("standby, primary back, silent: %1").arg(text);
        else
            text = tr("standby, silent: %1").arg(text);
    }
    return text;
}
