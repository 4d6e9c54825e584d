#pragma once

#include "artnetstatus.h"
#include "midistatus.h"

#include <QList>
#include <QString>

// One fact of the status line, as text an operator reads. A failure is shown
// in the error colour until the worker reports its cause gone.
struct StatusFact {
    enum Topic { Artnet, Midi, OtherSource, Ltc, Store, Remote, TopicCount };
    Topic topic;
    QString text;
    bool failure = false;

    bool operator==(const StatusFact &o) const
    {
        return topic == o.topic && text == o.text && failure == o.failure;
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
                              const StatusFact &remote = {StatusFact::Remote, {}, false});
