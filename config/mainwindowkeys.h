#pragma once

#include <QString>

// The main window's own keys. Read once at start; FrameFormat and the two MIDI
// values are written back at shutdown, UseLcd never.
struct MainWindowKeys {
    bool UseLcd = false;
    int FrameFormat = 0;
    int MidiTimecodeType = 0;
    QString MidiInterfaceName;

    void load();
    void save() const;
};
