#pragma once

#include "artnetstatus.h"
#include "follower.h"
#include "midistatus.h"

#include <QList>
#include <QString>

// One fact of the status line, as text an operator reads. A failure is shown
// in the error colour until the worker reports its cause gone. When only
// part of an output fails (one destination of several), the fact is made of
// segments and only the failing ones take the error colour.
struct StatusFact {
    enum Topic { Artnet, SharedPort, Midi, OtherSource, Ltc, Store, Follow, Remote, TopicCount };
    struct Segment {
        QString text;
        bool failure = false;
        bool operator==(const Segment &o) const { return text == o.text && failure == o.failure; }
    };
    Topic topic;
    QString text;
    bool failure = false;
    // Empty, or the pieces `text` is made of.
    QList<Segment> segments;

    bool operator==(const StatusFact &o) const
    {
        return topic == o.topic && text == o.text && failure == o.failure && segments == o.segments;
    }
};

// What the outputs do, in words: Art-Net and MIDI always, another timecode
// source only while one is seen, LTC while it is switched on (`ltc` is the
// LTC output's own text), and what was wrong with the settings store at start
// (`store`, empty when it was fine), and the remotes' own fact while it has
// a text. Shared by the window and any console report.
QList<StatusFact> statusFacts(bool artnetOn, const ArtnetStatus &artnet, bool midiOn,
                              const MidiStatus &midi, const QString &ltc = QString(),
                              bool ltcFailure = false, const QString &store = QString(),
                              const StatusFact &remote = {StatusFact::Remote, {}, false, {}});

// Why sends fail, for the operator: the reason of a system error number.
QString sendErrorText(int error);
// The follow source in words: "following Art-Net from 10.77.0.2, locked",
// "..., freewheeling", "..., no input", and for a standby whether it is
// silent or has taken over. `input` is "artnet", "mtc" or "ltc".
QString followText(const FollowStatus &status, const QString &input);
