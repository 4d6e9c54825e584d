#pragma once

#include <QString>

// The transport in plain words, the same everywhere it is reported (console
// lines, the remotes' status): untranslated, since peers read them.
namespace TransportWords
{
// "running", "paused" or "frozen"; frozen wins over paused.
QString state(bool paused, bool frozen);
// "system time", "place 1".."place 9" for the calculator's place numbers,
// "no place" for anything else.
QString source(int place);
// "24 fps", "25 fps", "30 drop", "30 fps"; anything else is the calculator's
// own 24 fps.
QString format(int format);
} // namespace TransportWords
