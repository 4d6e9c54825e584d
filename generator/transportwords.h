#pragma once

#include <QString>

// The transport in plain words, the same everywhere it is reported (console
// lines, the remotes' status): untranslated, since peers read them.
namespace TransportWords
{
// "running", "paused" or "frozen"; frozen wins over paused.
QString state(bool paused, bool frozen);
// "system time", "place 1".."place 9" for the calculator's place numbers,
// "follow", "no place" for anything else.
QString source(int place);
// "24 fps", "25 fps", "30 drop", "30 fps"; anything else is the calculator's
// own 24 fps. 30 drop counted at 29.97 fps says so ("30 drop at 29.97 fps"):
// a receiver told the one gets the other 3.6 s an hour apart.
QString format(int format, bool trueDropFrame = false);
} // namespace TransportWords
