#pragma once

#include <QMetaType>
#include <QtGlobal>

// One command given from outside the window: what a button, a shortcut or a
// DMX channel does, by name, for the remotes. `value` is the place in the
// calculator's numbering (-3 system time, 0..8 places 1..9) for Place, the
// frame format 0..3 for Format and 0/1 for Playlist; the others have none.
struct GeneratorCommand {
    enum Kind : quint8 { Play, Pause, PlayPause, Freeze, Reset, Place, Format, Playlist };

    Kind kind = PlayPause;
    int value = 0;

    bool operator==(const GeneratorCommand &o) const { return kind == o.kind && value == o.value; }
};
Q_DECLARE_METATYPE(GeneratorCommand)
