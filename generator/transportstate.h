#pragma once

#include "timecode.h"

#include <QString>

// What the generator does now, as the calculator last answered: running,
// paused or frozen, the source the code comes from and the frame format.
// It follows the calculator, not the buttons: a reset or applied settings
// take the green from the place buttons while the place keeps running, and
// these words still name it. The window, the fullscreen clock and any remote
// report read the same words from here.
struct TransportState {
    enum class Run { Running, Paused, Frozen };
    enum class Source {
        None,       // no place chosen yet: a counter from the last reset
        SystemTime, // the computer's clock
        Place,      // a stored place, `place` 0..8, with the codes it was started with
        Follow,     // another clock's code, from the input chosen in the settings
    };

    bool paused = true;
    bool frozen = false;
    Source source = Source::None;
    int place = -1;
    SettingStructItem range;
    // TimeCodeFormat; -1 while the calculator keeps its own 24 fps.
    int format = -1;

    // Frozen wins over paused: a frozen code stays put whatever the counter does.
    Run run() const { return frozen ? Run::Frozen : (paused ? Run::Paused : Run::Running); }
};
