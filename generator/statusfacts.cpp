#include "statusfacts.h"

#include <QCoreApplication>

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

StatusFact artnetFact(bool on, const ArtnetStatus &status)
{
    if (!on)
        return {StatusFact::Artnet, tr("Art-Net: off"), false};
    if (status.portBusy)
        return {StatusFact::Artnet, tr("Art-Net: port 6454 in use by another program"), true};
    const QString frames = tr("frames sent: %1").arg(status.framesSent);
    if (status.loopbackOnly)
        return {StatusFact::Artnet, tr("Art-Net: loopback only (no network), %1").arg(frames),
                true};
    return {StatusFact::Artnet,
            tr("Art-Net: to %1, %2").arg(status.destinations.join(QStringLiteral(", ")), frames),
            false};
}

StatusFact midiFact(bool on, const MidiStatus &status)
{
    if (!on)
        return {StatusFact::Midi, tr("MIDI: off"), false};
    if (status.noPorts)
        return {StatusFact::Midi, tr("MIDI: no MIDI ports"), true};
    if (!status.failed.isEmpty())
        return {StatusFact::Midi,
                tr("MIDI: cannot open %1").arg(status.failed.join(QStringLiteral(", "))), true};
    return {StatusFact::Midi,
            tr("MIDI: to %1, %2")
                .arg(status.ports.join(QStringLiteral(", ")), midiTypeName(status.type)),
            false};
}
} // namespace

QList<StatusFact> statusFacts(bool artnetOn, const ArtnetStatus &artnet, bool midiOn,
                              const MidiStatus &midi, const QString &ltc, bool ltcFailure,
                              const QString &store, const StatusFact &remote)
{
    QList<StatusFact> facts{artnetFact(artnetOn, artnet), midiFact(midiOn, midi)};
    if (!ltc.isEmpty())
        facts.append({StatusFact::Ltc, ltc, ltcFailure});
    // A damaged or read-only store stays a failure for the whole run: the
    // operator's settings are not what they expect until someone looks.
    if (!store.isEmpty())
        facts.append({StatusFact::Store, store, true});
    if (!artnet.otherSource.isEmpty())
        facts.append({StatusFact::OtherSource,
                      tr("another timecode source at %1").arg(artnet.otherSource), true});
    if (!remote.text.isEmpty())
        facts.append(remote);
    return facts;
}
